#include "settings/dialog_text.h"

#include <cstdio>

#include "link/instrument_commands.h"

namespace {

// The broken-down time as the dialog shows it: year and month counted from
// 1900 and 0. Wide arithmetic, so no field value can overflow.
std::string ClockText(const char* format, const ClockFields& clock) {
  char text[160];
  std::snprintf(text, sizeof text, format, clock.year + 1900LL, clock.month + 1LL,
                static_cast<long long>(clock.day), static_cast<long long>(clock.hour),
                static_cast<long long>(clock.minute), static_cast<long long>(clock.second));
  return text;
}

}  // namespace

std::string ClockGetMessage(const ClockFields& clock) {
  return ClockText("計測器の現在時刻は %4lld/%lld/%lld %lld:%02lld:%02lld です。", clock);
}

std::string ClockSetMessage(const ClockFields& clock) {
  return ClockText("計測器に現在時刻(%4lld/%lld/%lld %lld:%02lld:%02lld)を設定しました。", clock);
}

std::string VersionLine(int major, int minor) {
  char text[64];
  std::snprintf(text, sizeof text, "バージョン %d.%02d", major, minor);
  return text;
}
