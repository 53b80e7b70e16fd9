// Times and counts as the commands take and print them.
#pragma once
#include <ctime>
#include <string>

struct ClockFields;

// A sweep time: a number with the unit ms or s ("250ms", "1.5s"), a whole
// number of 10 ms. Sets *units, counted in 10 ms and saturated far above
// any accepted time; false when the text is not such a duration.
bool ParseSweepDuration(const std::string& text, long* units);

// Digits only; saturates far above any accepted count.
bool ParseWholeNumber(const std::string& text, long* value);

// A positive number of seconds, with or without a fraction.
bool ParseSeconds(const std::string& text, double* seconds);

// YYYY-MM-DDTHH:MM:SS, a real date in the years the clock command carries
// (2000 to 2255).
bool ParseClockText(const std::string& text, ClockFields* out);
std::string ClockText(const ClockFields& clock);  // the instrument's time, without a zone

// 2024-03-05T14:07:09.123+09:00
std::string TimestampText(const std::tm& local, int milliseconds, long utc_offset_seconds);
std::string LocalTimestampNow();
