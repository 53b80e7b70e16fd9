// Texts the window shows: the status bar, the live report's labels, the
// dialogs. The usual ones are read off the window end to end; here, the edges.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "link/instrument_commands.h"
#include "settings/dialog_text.h"
#include "shell/live_report_text.h"
#include "shell/status_text.h"

TEST(StatusText, UnknownConnectionTypesAndTheIdentityVersionAndSerial) {
  for (int type : {-1, 2, 7, INT_MIN, INT_MAX})
    EXPECT_EQ(ConnectionText(type, false), "接続(未接続)") << type;
  EXPECT_EQ(IdentityText(true, 7, "00000000"), "F/W Ver 0.07 (S/N:00000000)");
  EXPECT_EQ(IdentityText(true, 1000, "A"), "F/W Ver 10.00 (S/N:A)");
  for (int firmware : {0, -5}) EXPECT_EQ(IdentityText(true, firmware, "RS620042"), "");
  EXPECT_EQ(IdentityText(false, 105, "RS620042"), "");
  // At most eight serial characters: a field without its terminator drags nothing along.
  EXPECT_EQ(IdentityText(true, 105, "12345678XYZ"), "F/W Ver 1.05 (S/N:12345678)");
  EXPECT_EQ(IdentityText(true, 105, nullptr), "F/W Ver 1.05 (S/N:)");
}

TEST(LiveReportText, FirstReportWritesBothLabelsThenOnlyChangesAndUnknownsShowDashes) {
  LiveReportCache cache;
  auto plan = [&](int type, int mode) {
    const LiveReportUpdate u = PlanLiveReport(&cache, type, mode);
    return (u.mode_changed ? u.mode_text : "-") + " | " +
           (u.type_changed ? u.type_text + " " + u.unit_text : "-");
  };
  EXPECT_EQ(plan(1, 0), "Mode: 通常 | Type: ±10[V] V");
  EXPECT_EQ(plan(1, 0), "- | -");
  EXPECT_EQ(plan(1, 2), "Mode: スイープ | -");
  EXPECT_EQ(plan(3, 2), "- | Type: 0-20[mA](外部電源) mA");
  EXPECT_EQ(plan(255, 200), "Mode: --- | Type: --- ");
  for (int n : {-1, 3}) EXPECT_EQ(ModeLabelText(n), "Mode: ---") << n;  // just past the tables
  for (int n : {-1, 4}) EXPECT_EQ(TypeLabelText(n), "Type: ---") << n;
}

TEST(DialogText, ClockMessagesPadTimeButNotDateAndVersionHasTwoMinorDigits) {
  ClockFields clock{1, 2, 3, 4, 10, 99};  // second .. year
  EXPECT_EQ(ClockGetMessage(clock), "計測器の現在時刻は 1999/11/4 3:02:01 です。");
  EXPECT_EQ(ClockSetMessage(clock), "計測器に現在時刻(1999/11/4 3:02:01)を設定しました。");
  EXPECT_EQ(VersionLine(1, 5), "バージョン 1.05");
}
