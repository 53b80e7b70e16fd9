// SCPI parameter values: numbers with unit suffixes, MIN/MAX, words, and the
// number form of replies.
#pragma once
#include <string>

// What a command's parameter may be.
enum class ScpiParam {
  Voltage,  // number, in V; suffix V or MV; MIN, MAX
  Current,  // number, in A; suffix A, MA or UA; MIN, MAX
  Level,    // a voltage or a current, as the suffix says (sweep points)
  Time,     // number, in s; suffix S or MS
  Count,    // number without suffix, or INFinity
  Number,   // number without suffix
  Word,     // character data: MV, AI3, 1, ...
  Boolean,  // ON, OFF, 1 or 0: number 1 or 0
};

enum class ScpiUnitFamily { None, Volt, Ampere };

struct ScpiValue {
  double number = 0.0;                           // in V, A or s
  ScpiUnitFamily family = ScpiUnitFamily::None;  // the suffix's, when one was given
  bool min = false;
  bool max = false;
  bool infinite = false;
  std::string word;  // Word: upper case
};

// 0, or the error: -104 (data type error), -131 (invalid suffix) or -224
// (a Boolean that is none of its four words).
int ParseScpiValue(const std::string& text, ScpiParam kind, ScpiValue* value);

// +2.500000E+00
std::string ScpiNumberText(double value);
// The shortest plain decimal text of a value, as an entry box would hold it:
// 20.5, -0.05, 4.
std::string PlainNumberText(double value);

// A numeric query's answer when the instrument cannot give one.
constexpr double kScpiNotANumber = 9.91e37;
