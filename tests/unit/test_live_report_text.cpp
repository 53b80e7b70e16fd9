// The mode/type/unit labels of the live report and when they are rewritten.
#include <gtest/gtest.h>

#include "shell/live_report_text.h"

namespace {

TEST(LiveReportText, FirstReportWritesBothLabelsThenOnlyChanges) {
  LiveReportCache cache;
  LiveReportUpdate first = PlanLiveReport(&cache, 1, 0);
  EXPECT_TRUE(first.mode_changed);
  EXPECT_TRUE(first.type_changed);
  EXPECT_EQ("Mode: 通常", first.mode_text);
  EXPECT_EQ("Type: ±10[V]", first.type_text);
  EXPECT_EQ("V", first.unit_text);

  LiveReportUpdate same = PlanLiveReport(&cache, 1, 0);
  EXPECT_FALSE(same.mode_changed);
  EXPECT_FALSE(same.type_changed);

  LiveReportUpdate mode_only = PlanLiveReport(&cache, 1, 2);
  EXPECT_TRUE(mode_only.mode_changed);
  EXPECT_FALSE(mode_only.type_changed);
  EXPECT_EQ("Mode: スイープ", mode_only.mode_text);

  LiveReportUpdate type_only = PlanLiveReport(&cache, 3, 2);
  EXPECT_FALSE(type_only.mode_changed);
  EXPECT_TRUE(type_only.type_changed);
  EXPECT_EQ("Type: 0-20[mA](外部電源)", type_only.type_text);
  EXPECT_EQ("mA", type_only.unit_text);
}

TEST(LiveReportText, UnknownModeAndTypeShowDashesAndNoUnit) {
  LiveReportCache cache;
  PlanLiveReport(&cache, 0, 0);
  LiveReportUpdate odd = PlanLiveReport(&cache, 255, 200);
  EXPECT_EQ("Mode: ---", odd.mode_text);
  EXPECT_EQ("Type: ---", odd.type_text);
  EXPECT_EQ("", odd.unit_text);
  // Just past either end of the tables.
  for (int n : {-1, 3}) EXPECT_EQ("Mode: ---", ModeLabelText(n)) << n;
  for (int n : {-1, 4}) EXPECT_EQ("Type: ---", TypeLabelText(n)) << n;
}

}  // namespace
