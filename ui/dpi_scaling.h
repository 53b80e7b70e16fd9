// Layout units are pixels at 96 DPI; everything on screen is scaled from them.
#pragma once
#include <cstdint>

constexpr int kLayoutDpi = 96;

// What to assume when the screen cannot tell us (no device context, or a
// nonsensical answer): a DPI of 0 would make every window 0 x 0.
constexpr int UsableDpi(int measured) {
  return measured > 0 ? measured : kLayoutDpi;
}

// dpi * v / 96, truncating toward zero. Widened so a large value cannot overflow.
constexpr int ScaleForDpi(int dpi, int layout_value) {
  return static_cast<int>(static_cast<int64_t>(dpi) * layout_value / kLayoutDpi);
}

// The fonts grow in steps: the largest of 96, 112, 128, 144, 160 not above the DPI.
constexpr int DpiStep(int dpi) {
  constexpr int kSteps[] = {160, 144, 128, 112};
  for (int step : kSteps) {
    if (dpi >= step) return step;
  }
  return kLayoutDpi;
}

struct FontHeights {
  int normal;
  int medium;
  int large;
};

constexpr FontHeights FontHeightsForDpi(int dpi) {
  const int step = DpiStep(dpi);
  return {12 * step / kLayoutDpi, 24 * step / kLayoutDpi, 48 * step / kLayoutDpi};
}

// Outer size of the main window in layout units.
constexpr int kMainWindowWidth = 460;
constexpr int kMainWindowHeight = 660;
