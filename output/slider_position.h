// Where the normal page's slider stands for an output value.
#pragma once

// truncate(value * 10), kept within the slider's range min*10..max*10: the
// settings file may hold any real, and converting one that does not fit an
// int would be undefined. Not-a-number stands at the low end.
int SliderPosition(double value, int min, int max);
