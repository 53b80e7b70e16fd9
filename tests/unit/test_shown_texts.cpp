// Texts the window shows: the status bar, the live report's labels, the
// dialogs. The usual ones are read off the window end to end; here, the edges.
// And the window's sizes and fonts by DPI.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "link/instrument_commands.h"
#include "settings/dialog_text.h"
#include "shell/live_report_text.h"
#include "shell/status_text.h"
#include "ui/dpi_scaling.h"

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
  EXPECT_EQ(plan(4, 3), "Mode: --- | Type: --- ");  // just past the tables
}

TEST(DialogText, ClockMessagesPadTimeButNotDateAndVersionHasTwoMinorDigits) {
  ClockFields clock{1, 2, 3, 4, 10, 99};  // second .. year
  EXPECT_EQ(ClockGetMessage(clock), "計測器の現在時刻は 1999/11/4 3:02:01 です。");
  EXPECT_EQ(ClockSetMessage(clock), "計測器に現在時刻(1999/11/4 3:02:01)を設定しました。");
  EXPECT_EQ(VersionLine(1, 5), "バージョン 1.05");
}

TEST(DpiScaling, SizesTruncatedTowardZeroAndFontsGrowInSteps) {
  // 1.25, -1.25 and 766.67 toward zero.
  struct {
    int dpi, value, scaled;
  } sizes[] = {
      {120, 1, 1}, {120, -1, -1}, {160, kMainWindowWidth, 766}, {144, kMainWindowHeight, 990}};
  for (const auto& c : sizes) EXPECT_EQ(ScaleForDpi(c.dpi, c.value), c.scaled) << c.value;
  // The step is the largest of 96, 112, 128, 144 and 160 not above the DPI.
  struct {
    int dpi, normal, medium, large;
  } fonts[] = {{72, 12, 24, 48},  {111, 12, 24, 48}, {112, 14, 28, 56}, {127, 14, 28, 56},
               {128, 16, 32, 64}, {159, 18, 36, 72}, {240, 20, 40, 80}};
  for (const auto& c : fonts) {
    const FontHeights f = FontHeightsForDpi(c.dpi);
    EXPECT_EQ((std::vector<int>{f.normal, f.medium, f.large}),
              (std::vector<int>{c.normal, c.medium, c.large}))
        << c.dpi;
  }
  // An unknown screen DPI is taken as 96.
  EXPECT_EQ((std::vector<int>{UsableDpi(0), UsableDpi(-5), UsableDpi(120)}),
            (std::vector<int>{96, 96, 120}));
}
