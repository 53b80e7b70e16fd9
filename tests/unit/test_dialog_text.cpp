#include <gtest/gtest.h>

#include "link/instrument_commands.h"
#include "settings/dialog_text.h"

// The usual clock and version texts are read off the dialogs end to end.
TEST(DialogText, ClockMessagesPadTimeButNotDateAndVersionHasTwoMinorDigits) {
  ClockFields clock{1, 2, 3, 4, 10, 99};  // second .. year
  EXPECT_EQ(ClockGetMessage(clock), "計測器の現在時刻は 1999/11/4 3:02:01 です。");
  EXPECT_EQ(ClockSetMessage(clock), "計測器に現在時刻(1999/11/4 3:02:01)を設定しました。");
  EXPECT_EQ(VersionLine(1, 5), "バージョン 1.05");
}
