// The four output ranges and the scaling between values and instrument codes.
#pragma once
#include <cstdint>
#include <string>

struct OutputTypeInfo {
  int32_t max;
  int32_t mid;
  int32_t min;
  const char* label;  // UTF-8
  const char* unit;
};

constexpr int kOutputTypeCount = 4;
extern const OutputTypeInfo output_types[kOutputTypeCount];
extern const double step_table[kOutputTypeCount][3];  // coarse, medium, fine

int EncodeOutputValue(double value, int type);  // code in the low 16 bits
double DecodeOutputValue(unsigned type, int16_t code);
std::string ValueToText(double value, int type);  // "-" for a type outside 0..3
// An instrument code as shown: its value, with the text in destination (at
// least 32 bytes; "-" for a type outside 0..3).
double FormatOutputValue(int16_t code, int output_type, char* destination);
const char* ValueFormat(int type);  // printf format of a value; null outside 0..3
bool IsNumericText(const char* text);
bool InOutputRange(double value, int type);

// Texts derived from the table.
std::string RangeLabel(int type, int which);           // which: 0 min, 1 mid, 2 max
std::string StepLabel(int type, int step, bool plus);  // step: 0 coarse, 1 medium, 2 fine
