// SCPI program messages: splitting a message into its units, and matching
// headers against keyword patterns with short and long forms and optional
// nodes.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// One program message unit, as written.
struct ScpiUnit {
  bool common = false;  // *IDN?
  bool rooted = false;  // a leading ':'
  bool query = false;
  std::vector<std::string> keywords;    // upper case, a numeric suffix 1 dropped
  std::vector<std::string> parameters;  // without the blanks around them
};

// 0, or -102 (syntax error) when the message is not a sequence of units
// joined by ';'.
int SplitScpiMessage(std::string_view message, std::vector<ScpiUnit>* units);

// One node of a pattern such as "[SOURce:]VOLTage[:LEVel]": the long form,
// the length of its short form (its leading capitals), optional or not.
struct ScpiNode {
  std::string long_form;  // upper case
  size_t short_length;
  bool optional;
};
std::vector<ScpiNode> ParseScpiPattern(std::string_view pattern);

// The keywords, in short or long form only, name the pattern (optional nodes
// may be left out).
bool HeaderMatches(const std::vector<ScpiNode>& nodes, const std::vector<std::string>& keywords);
