#include "settings/dialog_text.h"

#include <cstdio>

#include "link/instrument_commands.h"

// The texts are joined around numbers formatted on their own: no format
// string holds Japanese, which a runtime in a DBCS locale would misread.
namespace {

// The broken-down time as the dialog shows it: year and month counted from
// 1900 and 0. Wide arithmetic, so no field value can overflow.
std::string ClockText(const ClockFields& clock) {
  char text[160];
  std::snprintf(text, sizeof text, "%4lld/%lld/%lld %lld:%02lld:%02lld", clock.year + 1900LL,
                clock.month + 1LL, static_cast<long long>(clock.day),
                static_cast<long long>(clock.hour), static_cast<long long>(clock.minute),
                static_cast<long long>(clock.second));
  return text;
}

}  // namespace

std::string ClockGetMessage(const ClockFields& clock) {
  return "計測器の現在時刻は " + ClockText(clock) + " です。";
}

std::string ClockSetMessage(const ClockFields& clock) {
  return "計測器に現在時刻(" + ClockText(clock) + ")を設定しました。";
}

std::string VersionLine(int major, int minor) {
  char number[32];
  std::snprintf(number, sizeof number, "%d.%02d", major, minor);
  return std::string("バージョン ") + number;
}
