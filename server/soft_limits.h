// The server's soft limits: narrower ranges than the instrument's, per output
// type, that no client may set beyond.
#pragma once
#include <string>

struct SoftLimits {
  bool limited[4];
  double min[4];  // in the type's own unit
  double max[4];
};

// TYPE=MIN:MAX, TYPE as the client's --type (v=-5:5, ma=0:12). False with the
// message in *error.
bool ParseSoftLimit(const std::string& text, SoftLimits* limits, std::string* error);

// Empty when value (in the type's unit) is allowed, else why not.
std::string CheckSoftLimit(const SoftLimits& limits, int output_type, double value);

// "limit type 1: -5 to 5 V", one line a limited type, for the start-up lines.
std::string SoftLimitText(const SoftLimits& limits, int output_type);
