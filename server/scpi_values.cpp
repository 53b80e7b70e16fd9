#include "server/scpi_values.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kDataTypeError = -104;
constexpr int kInvalidSuffix = -131;
constexpr int kIllegalValue = -224;

struct Suffix {
  const char* name;
  double scale;
  ScpiUnitFamily family;
};

constexpr Suffix kSuffixes[] = {
    {"V", 1.0, ScpiUnitFamily::Volt},     {"MV", 1e-3, ScpiUnitFamily::Volt},
    {"A", 1.0, ScpiUnitFamily::Ampere},   {"MA", 1e-3, ScpiUnitFamily::Ampere},
    {"UA", 1e-6, ScpiUnitFamily::Ampere}, {"S", 1.0, ScpiUnitFamily::None},
    {"MS", 1e-3, ScpiUnitFamily::None},
};

std::string Upper(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Decimal numeric data: [+-] digits [. digits] [E [+-] digits], at least one
// digit in the mantissa. Sets *end after it.
bool TakeNumber(const std::string& text, size_t* end) {
  size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  size_t digits = 0;
  while (at < text.size() && IsDigit(text[at])) ++at, ++digits;
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && IsDigit(text[at])) ++at, ++digits;
  }
  if (digits == 0) return false;
  if (at < text.size() && (text[at] == 'E' || text[at] == 'e')) {
    size_t exponent = at + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    size_t exponent_digits = 0;
    while (exponent < text.size() && IsDigit(text[exponent])) ++exponent, ++exponent_digits;
    // Without digits the E is the start of a suffix (none of ours begins so).
    if (exponent_digits > 0) at = exponent;
  }
  *end = at;
  return true;
}

bool SuffixFits(ScpiParam kind, const Suffix& suffix) {
  switch (kind) {
    case ScpiParam::Voltage:
      return suffix.family == ScpiUnitFamily::Volt;
    case ScpiParam::Current:
      return suffix.family == ScpiUnitFamily::Ampere;
    case ScpiParam::Level:
      return suffix.family != ScpiUnitFamily::None;
    case ScpiParam::Time:
      return suffix.family == ScpiUnitFamily::None;
    default:
      return false;
  }
}

bool IsWord(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

// MIN and MAX in their short or long form.
bool IsKeyword(const std::string& upper, const char* long_form) {
  const std::string full = long_form;
  return upper == full || upper == full.substr(0, 3);
}

}  // namespace

int ParseScpiValue(const std::string& text, ScpiParam kind, ScpiValue* value) {
  *value = ScpiValue{};
  const std::string upper = Upper(text);
  if (kind == ScpiParam::Word || kind == ScpiParam::Boolean) {
    if (!IsWord(text)) return kDataTypeError;
    value->word = upper;
    if (kind == ScpiParam::Word) return 0;
    value->number = upper == "ON" || upper == "1" ? 1.0 : 0.0;
    return upper == "ON" || upper == "1" || upper == "OFF" || upper == "0" ? 0 : kIllegalValue;
  }
  const bool levels =
      kind == ScpiParam::Voltage || kind == ScpiParam::Current || kind == ScpiParam::Level;
  if (levels && (IsKeyword(upper, "MINIMUM") || IsKeyword(upper, "MAXIMUM"))) {
    value->min = upper[1] == 'I';
    value->max = !value->min;
    return 0;
  }
  if (kind == ScpiParam::Count && (upper == "INF" || upper == "INFINITY")) {
    value->infinite = true;
    return 0;
  }
  size_t end = 0;
  if (!TakeNumber(text, &end)) return kDataTypeError;
  value->number = std::strtod(text.substr(0, end).c_str(), nullptr);
  if (!std::isfinite(value->number)) return kDataTypeError;
  size_t suffix_start = end;
  while (suffix_start < text.size() && (text[suffix_start] == ' ' || text[suffix_start] == '\t')) {
    ++suffix_start;
  }
  const std::string suffix = upper.substr(suffix_start);
  if (suffix.empty()) return 0;
  for (const Suffix& known : kSuffixes) {
    if (suffix == known.name) {
      if (!SuffixFits(kind, known)) return kInvalidSuffix;
      value->number *= known.scale;
      value->family = known.family;
      return 0;
    }
  }
  return IsWord(suffix) ? kInvalidSuffix : kDataTypeError;
}

std::string ScpiNumberText(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%+.6E", value);
  return text;
}

std::string PlainNumberText(double value) {
  char text[400];
  std::snprintf(text, sizeof text, "%.6f", value);
  std::string plain = text;
  while (plain.back() == '0') plain.pop_back();
  if (plain.back() == '.') plain.pop_back();
  if (plain == "-0") plain = "0";
  return plain;
}
