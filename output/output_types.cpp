#include "output/output_types.h"

#include <cmath>
#include <cstdio>
#include <cstring>

const OutputTypeInfo output_types[kOutputTypeCount] = {
    {100, 0, -100, "±100[mV]", "mV"},
    {10, 0, -10, "±10[V]", "V"},
    {20, 10, 0, "0-20[mA](内部電源)", "mA"},
    {20, 10, 0, "0-20[mA](外部電源)", "mA"},
};

const double step_table[kOutputTypeCount][3] = {
    {10, 1, 0.1},
    {1, 0.1, 0.01},
    {10, 1, 0.1},
    {10, 1, 0.1},
};

namespace {

bool ValidType(int type) {
  return type >= 0 && type < kOutputTypeCount;
}

// Truncates toward zero after pinning to [low, high], so values beyond a
// range's end give its end code instead of wrapping to the other sign.
int TruncateWithin(double q, double low, double high) {
  if (q < low) q = low;
  if (q > high) q = high;
  return static_cast<int>(q);
}

}  // namespace

const char* ValueFormat(int type) {
  if (!ValidType(type)) return nullptr;
  return type == 0 ? "%.2f" : "%.3f";
}

int EncodeOutputValue(double value, int type) {
  if (!ValidType(type) || std::isnan(value)) return 0;
  int code;
  if (type == 0 || type == 1) {
    double fs = output_types[type].max;
    if (value >= 0) {
      code = TruncateWithin((value * 32767 + fs / 2) / fs, 0, 32767);
    } else {
      // Negative values scale by 32768 so that -FS reaches the code -32768.
      int m = TruncateWithin((-value * 32768 + fs / 2) / fs - 1, 0, 32767);
      code = ~m;
    }
  } else {
    code = TruncateWithin((value * 32767 + 10) / 20, -32768, 32767);
  }
  return code & 0xFFFF;
}

double DecodeOutputValue(unsigned type, int16_t code) {
  if (type >= kOutputTypeCount) return 0.0;
  const OutputTypeInfo& info = output_types[type];
  // Negative codes were encoded by 32768, so they are read back by it too.
  if ((type == 0 || type == 1) && code < 0) return info.min * -static_cast<double>(code) / 32768.0;
  return info.max * static_cast<double>(code) / 32767.0;
}

std::string ValueToText(double value, int type) {
  const char* format = ValueFormat(type);
  if (format == nullptr) return "-";
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  // A value that rounds to zero reads 0, whatever its sign.
  if (text[0] == '-' && std::strspn(text + 1, "0.") == std::strlen(text + 1)) return text + 1;
  return text;
}

bool IsNumericText(const char* text) {
  if (text == nullptr) return false;
  bool seen_point = false;
  for (int i = 0; text[i] != '\0'; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') continue;
    if (c == '-' && i == 0) continue;
    if (c == '.' && !seen_point) {
      seen_point = true;
      continue;
    }
    return false;
  }
  return true;
}

bool InOutputRange(double value, int type) {
  if (!ValidType(type)) return false;
  return output_types[type].min <= value && value <= output_types[type].max;
}

std::string RangeLabel(int type, int which) {
  if (!ValidType(type) || which < 0 || which > 2) return "";
  const OutputTypeInfo& info = output_types[type];
  int32_t number = which == 0 ? info.min : which == 1 ? info.mid : info.max;
  char text[32];
  std::snprintf(text, sizeof text, "%d%s", static_cast<int>(number), info.unit);
  return text;
}

std::string StepLabel(int type, int step, bool plus) {
  if (!ValidType(type) || step < 0 || step > 2) return "";
  double amount = step_table[type][step];
  char number[32];
  std::snprintf(number, sizeof number, amount >= 0.1 ? "%.1f%s" : "%.2f%s", amount,
                output_types[type].unit);
  char text[40];
  std::snprintf(text, sizeof text, plus ? "+%s" : "-%s", number);
  return text;
}

double FormatOutputValue(int16_t code, int output_type, char* destination) {
  double value =
      output_type < 0 ? 0.0 : DecodeOutputValue(static_cast<unsigned>(output_type), code);
  char text[30];
  std::snprintf(text, sizeof text, "%s", ValueToText(value, output_type).c_str());
  std::strcpy(destination, text);
  return value;
}
