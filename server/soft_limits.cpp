#include "server/soft_limits.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli/command_checks.h"
#include "output/output_types.h"

namespace {

bool ReadNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  *value = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size() && std::isfinite(*value);
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string RangeText(const SoftLimits& limits, int type) {
  return Number(limits.min[type]) + " to " + Number(limits.max[type]) + " " +
         output_types[type].unit;
}

}  // namespace

bool ParseSoftLimit(const std::string& text, SoftLimits* limits, std::string* error) {
  const size_t equals = text.find('=');
  const size_t colon = text.find(':', equals == std::string::npos ? 0 : equals);
  double min = 0.0;
  double max = 0.0;
  const int type = equals == std::string::npos ? -1 : OutputTypeFromText(text.substr(0, equals));
  if (type < 0 || colon == std::string::npos ||
      !ReadNumber(text.substr(equals + 1, colon - equals - 1), &min) ||
      !ReadNumber(text.substr(colon + 1), &max) || min > max) {
    *error = "--limit " + text +
             " is not TYPE=MIN:MAX (TYPE 0-3, mv, v, ma or ma-ext; MIN not above MAX)";
    return false;
  }
  if (!InOutputRange(min, type) || !InOutputRange(max, type)) {
    *error = "--limit " + text + " reaches beyond the type's range " +
             std::to_string(output_types[type].min) + " to " +
             std::to_string(output_types[type].max) + " " + output_types[type].unit;
    return false;
  }
  limits->limited[type] = true;
  limits->min[type] = min;
  limits->max[type] = max;
  return true;
}

std::string CheckSoftLimit(const SoftLimits& limits, int output_type, double value) {
  if (output_type < 0 || output_type >= kOutputTypeCount || !limits.limited[output_type]) return "";
  if (value >= limits.min[output_type] && value <= limits.max[output_type]) return "";
  return Number(value) + " is outside the server's limit " + RangeText(limits, output_type) +
         " (type " + std::to_string(output_type) + ")";
}

std::string SoftLimitText(const SoftLimits& limits, int output_type) {
  return "limit type " + std::to_string(output_type) + ": " + RangeText(limits, output_type);
}
