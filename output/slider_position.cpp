#include "output/slider_position.h"

int SliderPosition(double value, int min, int max) {
  const double scaled = value * 10.0;
  const double low = min * 10.0;
  const double high = max * 10.0;
  if (!(scaled >= low)) return min * 10;  // also not-a-number
  if (scaled > high) return max * 10;
  return static_cast<int>(scaled);
}
