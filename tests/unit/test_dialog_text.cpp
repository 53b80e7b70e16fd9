#include <gtest/gtest.h>

#include "link/instrument_commands.h"
#include "settings/dialog_text.h"

namespace {

TEST(DialogText, ClockMessagesShowCalendarYearAndMonth) {
  ClockFields clock{9, 7, 14, 5, 2, 124};  // second .. year
  EXPECT_EQ(ClockGetMessage(clock), "計測器の現在時刻は 2024/3/5 14:07:09 です。");
  EXPECT_EQ(ClockSetMessage(clock), "計測器に現在時刻(2024/3/5 14:07:09)を設定しました。");
}

TEST(DialogText, ClockNeverReadShowsZeroFields) {
  ClockFields clock{};
  EXPECT_EQ(ClockGetMessage(clock), "計測器の現在時刻は 1900/1/0 0:00:00 です。");
}

TEST(DialogText, VersionHasTwoMinorDigits) {
  EXPECT_EQ(VersionLine(kVersionMajor, kVersionMinor), "バージョン 1.00");
  EXPECT_EQ(VersionLine(1, 5), "バージョン 1.05");
}

}  // namespace
