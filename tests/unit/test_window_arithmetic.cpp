// DPI scaling of the main window and its fonts, and the slider position.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "output/slider_position.h"
#include "ui/dpi_scaling.h"

namespace {

struct DpiCase {
  int dpi;
  int width, height;
  int normal, medium, large;
};

TEST(DpiScaling, WindowSizeAndFontsAtCommonDpis) {
  const DpiCase cases[] = {
      {96, 460, 660, 12, 24, 48},
      {120, 575, 825, 14, 28, 56},
      {144, 690, 990, 18, 36, 72},
      {160, 766, 1100, 20, 40, 80},
  };
  for (const DpiCase& c : cases) {
    SCOPED_TRACE(c.dpi);
    EXPECT_EQ(c.width, ScaleForDpi(c.dpi, kMainWindowWidth));
    EXPECT_EQ(c.height, ScaleForDpi(c.dpi, kMainWindowHeight));
    const FontHeights fonts = FontHeightsForDpi(c.dpi);
    EXPECT_EQ(c.normal, fonts.normal);
    EXPECT_EQ(c.medium, fonts.medium);
    EXPECT_EQ(c.large, fonts.large);
  }
}

TEST(DpiScaling, ScalingTruncatesTowardZero) {
  EXPECT_EQ(1, ScaleForDpi(120, 1));    // 1.25
  EXPECT_EQ(-1, ScaleForDpi(120, -1));  // -1.25
  EXPECT_EQ(25, ScaleForDpi(120, 20));  // exact
  EXPECT_EQ(41, ScaleForDpi(200, 20));  // 41.66
}

TEST(DpiScaling, FontStepBoundaries) {
  EXPECT_EQ(96, DpiStep(72));
  EXPECT_EQ(96, DpiStep(111));
  EXPECT_EQ(112, DpiStep(112));
  EXPECT_EQ(112, DpiStep(127));
  EXPECT_EQ(128, DpiStep(128));
  EXPECT_EQ(144, DpiStep(159));
  EXPECT_EQ(160, DpiStep(240));
  EXPECT_EQ(12, FontHeightsForDpi(72).normal);
  EXPECT_EQ(16, FontHeightsForDpi(130).normal);
}

TEST(DpiScaling, UnknownScreenDpiFallsBackTo96) {
  EXPECT_EQ(96, UsableDpi(0));
  EXPECT_EQ(96, UsableDpi(-5));
  EXPECT_EQ(120, UsableDpi(120));
  EXPECT_EQ(460, ScaleForDpi(UsableDpi(0), kMainWindowWidth));
}

TEST(SliderPosition, TruncatesTenthsWithinRange) {
  EXPECT_EQ(123, SliderPosition(12.39, -100, 100));
  EXPECT_EQ(-123, SliderPosition(-12.39, -100, 100));
  EXPECT_EQ(0, SliderPosition(0.0, 0, 20));
  EXPECT_EQ(1000, SliderPosition(100.0, -100, 100));
  EXPECT_EQ(-1000, SliderPosition(-100.0, -100, 100));
}

TEST(SliderPosition, OutOfRangeAndNonFiniteValuesStayOnTheSlider) {
  EXPECT_EQ(200, SliderPosition(1e300, 0, 20));
  EXPECT_EQ(0, SliderPosition(-1e300, 0, 20));
  EXPECT_EQ(100, SliderPosition(std::numeric_limits<double>::infinity(), -10, 10));
  EXPECT_EQ(-100, SliderPosition(std::nan(""), -10, 10));
}

}  // namespace
