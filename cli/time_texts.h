// Times and counts as the commands take and print them.
#pragma once
#include <ctime>
#include <string>

struct ClockFields;

// A duration: a number, maybe with a fraction, and its unit ms or s
// ("250ms", "1.5s", ".5s"); a bare number is in bare_unit ("ms", "s", or ""
// when a unit is required). A whole number of milliseconds, saturated far
// above any accepted time; false when the text is not such a duration.
bool ParseDuration(const std::string& text, const char* bare_unit, long* ms);

// Digits only; saturates far above any accepted count.
bool ParseWholeNumber(const std::string& text, long* value);

// A date of the calendar and a time of day (the years are not checked).
bool ClockFieldsValid(const ClockFields& clock);

// YYYY-MM-DDTHH:MM:SS, a real date in the years the clock command carries
// (2000 to 2255).
bool ParseClockText(const std::string& text, ClockFields* out);
std::string ClockText(const ClockFields& clock);  // the instrument's time, without a zone

// 2024-03-05T14:07:09.123+09:00
std::string TimestampText(const std::tm& local, int milliseconds, long utc_offset_seconds);
std::string LocalTimestampNow();
