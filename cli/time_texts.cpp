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

bool ParseSweepDuration(const std::string& text, long* units) {
  size_t at = 0;
  long whole = 0;
  if (!TakeDigits(text, &at, &whole)) return false;
  // The fraction in thousandths; digits past the third must be zeros.
  long thousandths = 0;
  bool fraction_beyond_ms = false;
  if (at < text.size() && text[at] == '.') {
    ++at;
    int digits = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at, ++digits) {
      if (digits < 3) {
        thousandths = thousandths * 10 + (text[at] - '0');
      } else if (text[at] != '0') {
        fraction_beyond_ms = true;
      }
    }
    if (digits == 0) return false;
    for (; digits < 3; ++digits) thousandths *= 10;
  }
  const std::string unit = text.substr(at);
  long ms;
  if (unit == "s") {
    if (fraction_beyond_ms) return false;
    ms = whole >= kSaturated / 1000 ? kSaturated : whole * 1000 + thousandths;
  } else if (unit == "ms") {
    if (thousandths != 0 || fraction_beyond_ms) return false;
    ms = whole;
  } else {
    return false;
  }
  if (ms % 10 != 0) return false;
  *units = ms / 10;
  return true;
}

bool ParseWholeNumber(const std::string& text, long* value) {
  size_t at = 0;
  return TakeDigits(text, &at, value) && at == text.size();
}

bool ParseSeconds(const std::string& text, double* seconds) {
  size_t at = 0;
  long whole = 0;
  bool digits = TakeDigits(text, &at, &whole);
  if (at < text.size() && text[at] == '.') {
    ++at;
    long fraction = 0;
    digits = TakeDigits(text, &at, &fraction) || digits;
  }
  if (!digits || at != text.size()) return false;
  *seconds = std::atof(text.c_str());
  return *seconds > 0;
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
  if (year < 2000 || year > 2255 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month) || hour > 23 || minute > 59 || second > 59) {
    return false;
  }
  *out = ClockFields{second, minute, hour, day, month - 1, year - 1900};
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
  // The client has one thread, so the shared result of localtime is safe.
  const std::tm* found = std::localtime(&seconds);
  if (found == nullptr) return "";
  const std::tm local = *found;
  // The offset is what the local calendar time is ahead of UTC.
  const long long local_seconds =
      DaysFromCivil(local.tm_year + 1900LL, local.tm_mon + 1, local.tm_mday) * 86400LL +
      local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
  return TimestampText(local, milliseconds, static_cast<long>(local_seconds - seconds));
}
