#include "cli/time_texts.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "link/instrument_commands.h"

namespace {

constexpr long kSaturated = 1000000000L;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Leading digits of text from *at on, saturated; false when there are none.
bool TakeDigits(const std::string& text, size_t* at, long* value) {
  const size_t begin = *at;
  long n = 0;
  for (; *at < text.size() && IsDigit(text[*at]); ++*at) {
    if (n < kSaturated) n = n * 10 + (text[*at] - '0');
  }
  *value = n;
  return *at > begin;
}

bool LeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && LeapYear(year) ? 29 : days[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long long DaysFromCivil(long long year, int month, int day) {
  year -= month <= 2;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const long long year_of_era = year - era * 400;
  const long long day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long long day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

}  // namespace

bool ParseDuration(const std::string& text, const char* bare_unit, long* ms) {
  size_t at = 0;
  long whole = 0;
  bool digits = TakeDigits(text, &at, &whole);
  // The fraction in thousandths; digits past the third must be zeros.
  long thousandths = 0;
  bool fraction_beyond_ms = false;
  if (at < text.size() && text[at] == '.') {
    ++at;
    int places = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at, ++places) {
      if (places < 3) {
        thousandths = thousandths * 10 + (text[at] - '0');
      } else if (text[at] != '0') {
        fraction_beyond_ms = true;
      }
    }
    if (places == 0) return false;
    digits = true;
    for (; places < 3; ++places) thousandths *= 10;
  }
  std::string unit = text.substr(at);
  if (!digits || fraction_beyond_ms) return false;
  if (unit.empty()) unit = bare_unit;
  if (unit == "s") {
    *ms = whole >= kSaturated / 1000 ? kSaturated : whole * 1000 + thousandths;
  } else if (unit == "ms" && thousandths == 0) {
    *ms = whole;
  } else {
    return false;
  }
  return true;
}

bool ParseWholeNumber(const std::string& text, long* value) {
  size_t at = 0;
  return TakeDigits(text, &at, value) && at == text.size();
}

bool ClockFieldsValid(const ClockFields& c) {
  return c.month >= 0 && c.month <= 11 && c.day >= 1 &&
         c.day <= DaysInMonth(c.year + 1900, c.month + 1) && c.hour >= 0 && c.hour <= 23 &&
         c.minute >= 0 && c.minute <= 59 && c.second >= 0 && c.second <= 59;
}

bool ParseClockText(const std::string& text, ClockFields* out) {
  // Positions of the separators in YYYY-MM-DDTHH:MM:SS; every other one a digit.
  if (text.size() != 19) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char expected = i == 4 || i == 7 ? '-' : i == 10 ? 'T' : i == 13 || i == 16 ? ':' : 0;
    if (expected != 0 ? text[i] != expected : !IsDigit(text[i])) return false;
  }
  const int year = std::atoi(text.c_str());
  const int month = std::atoi(text.c_str() + 5);
  const int day = std::atoi(text.c_str() + 8);
  const int hour = std::atoi(text.c_str() + 11);
  const int minute = std::atoi(text.c_str() + 14);
  const int second = std::atoi(text.c_str() + 17);
  const ClockFields fields{second, minute, hour, day, month - 1, year - 1900};
  if (year < 2000 || year > 2255 || month < 1 || !ClockFieldsValid(fields)) return false;
  *out = fields;
  return true;
}

std::string ClockText(const ClockFields& clock) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d",
                static_cast<int>(clock.year + 1900), static_cast<int>(clock.month + 1),
                static_cast<int>(clock.day), static_cast<int>(clock.hour),
                static_cast<int>(clock.minute), static_cast<int>(clock.second));
  return text;
}

std::string TimestampText(const std::tm& local, int milliseconds, long utc_offset_seconds) {
  const long offset_minutes =
      (utc_offset_seconds < 0 ? -utc_offset_seconds : utc_offset_seconds) / 60;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec, milliseconds, utc_offset_seconds < 0 ? '-' : '+', offset_minutes / 60,
                offset_minutes % 60);
  return text;
}

std::string LocalTimestampNow() {
  const auto now = std::chrono::system_clock::now();
  const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
  const std::time_t seconds = static_cast<std::time_t>(since.count() / 1000);
  const int milliseconds = static_cast<int>(since.count() % 1000);
  // The server stamps from several threads: no shared result.
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &seconds) != 0) return "";
#else
  if (localtime_r(&seconds, &local) == nullptr) return "";
#endif
  // The offset is what the local calendar time is ahead of UTC.
  const long long local_seconds =
      DaysFromCivil(local.tm_year + 1900LL, local.tm_mon + 1, local.tm_mday) * 86400LL +
      local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
  return TimestampText(local, milliseconds, static_cast<long>(local_seconds - seconds));
}
