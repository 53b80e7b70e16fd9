#include "output/step_rule.h"

#include <cmath>
#include <cstdlib>

#include "output/output_types.h"

bool StepValue(const char* box_text, double stored, int type, int step, int delta, double* result) {
  if (type < 0 || type >= kOutputTypeCount || step < 0 || step > 2) return false;
  if (!IsNumericText(box_text)) return false;
  double x = std::atof(box_text);
  if (!InOutputRange(x, type)) x = stored;
  const double s = step_table[type][step];
  // A step larger than the value, taken toward zero, lands on the mirrored
  // value first, so -0.5 up by 1 gives 1.5 and not 0.5.
  if (s > std::fabs(x) && ((x < 0 && delta > 0) || (x > 0 && delta < 0))) x = -x;
  x += s * delta;
  if (!InOutputRange(x, type)) {
    x = delta > 0 ? output_types[type].max : output_types[type].min;
  }
  *result = x;
  return true;
}
