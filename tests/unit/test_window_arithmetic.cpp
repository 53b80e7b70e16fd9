// DPI scaling of the main window and its fonts, and the slider position.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "output/slider_position.h"
#include "ui/dpi_scaling.h"

TEST(DpiScaling, WindowSizeAndFontsTruncatedTowardZeroInFontSteps) {
  struct {
    int dpi, width, height, normal, medium, large;
  } sizes[] = {{72, 345, 495, 12, 24, 48},
               {96, 460, 660, 12, 24, 48},
               {120, 575, 825, 14, 28, 56},
               {144, 690, 990, 18, 36, 72},
               {160, 766, 1100, 20, 40, 80}};
  for (const auto& c : sizes) {
    const FontHeights fonts = FontHeightsForDpi(c.dpi);
    EXPECT_EQ((std::vector<int>{ScaleForDpi(c.dpi, kMainWindowWidth),
                                ScaleForDpi(c.dpi, kMainWindowHeight), fonts.normal, fonts.medium,
                                fonts.large}),
              (std::vector<int>{c.width, c.height, c.normal, c.medium, c.large}))
        << c.dpi;
  }
  struct {
    int dpi, value, scaled;
  } scaled[] = {{120, 1, 1}, {120, -1, -1}, {120, 20, 25}, {200, 20, 41}};  // 1.25, -1.25, 41.66
  for (const auto& c : scaled) EXPECT_EQ(ScaleForDpi(c.dpi, c.value), c.scaled) << c.value;
  struct {
    int dpi, step;
  } steps[] = {{72, 96}, {111, 96}, {112, 112}, {127, 112}, {128, 128}, {159, 144}, {240, 160}};
  for (const auto& c : steps) EXPECT_EQ(DpiStep(c.dpi), c.step) << c.dpi;
  // An unknown screen DPI is taken as 96.
  EXPECT_EQ((std::vector<int>{UsableDpi(0), UsableDpi(-5), UsableDpi(120)}),
            (std::vector<int>{96, 96, 120}));
}

TEST(SliderPosition, TenthsTruncatedAndKeptOnTheSlider) {
  const double inf = std::numeric_limits<double>::infinity();
  struct {
    double value;
    int min, max, position;
  } cases[] = {{12.39, -100, 100, 123},  {-12.39, -100, 100, -123},  {0.0, 0, 20, 0},
               {100.0, -100, 100, 1000}, {-100.0, -100, 100, -1000}, {1e300, 0, 20, 200},
               {-1e300, 0, 20, 0},       {inf, -10, 10, 100},        {std::nan(""), -10, 10, -100}};
  for (const auto& c : cases)
    EXPECT_EQ(SliderPosition(c.value, c.min, c.max), c.position) << c.value;
}
