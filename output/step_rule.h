// The step controls' arithmetic on the normal output page's value box.
#pragma once

// The value box after a step click, or false when the box holds no number
// (the click then changes nothing). An out-of-range box steps from the
// stored value. step: 0 coarse, 1 medium, 2 fine; delta: the signed
// increment of the notification.
bool StepValue(const char* box_text, double stored, int type, int step, int delta, double* result);
