#include "server/scpi_parser.h"

#include <cctype>

namespace {

constexpr int kSyntaxError = -102;

bool IsAlpha(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A keyword: letters, then letters, digits or '_'. A numeric suffix names an
// instance; this instrument has one of everything, so only 1 is kept apart
// (anything else stays on the keyword and matches nothing).
bool TakeKeyword(std::string_view text, size_t* at, std::string* keyword) {
  const size_t start = *at;
  if (start >= text.size() || !IsAlpha(text[start])) return false;
  size_t end = start;
  while (end < text.size() && (IsAlpha(text[end]) || IsDigit(text[end]) || text[end] == '_')) {
    ++end;
  }
  *keyword = Upper(text.substr(start, end - start));
  if (keyword->size() > 1 && keyword->back() == '1' && !IsDigit((*keyword)[keyword->size() - 2])) {
    keyword->pop_back();
  }
  *at = end;
  return true;
}

int ParseHeader(std::string_view text, size_t* at, ScpiUnit* unit) {
  std::string keyword;
  if (*at < text.size() && text[*at] == '*') {
    ++*at;
    if (!TakeKeyword(text, at, &keyword)) return kSyntaxError;
    unit->common = true;
    unit->keywords.push_back("*" + keyword);
  } else {
    if (*at < text.size() && text[*at] == ':') {
      unit->rooted = true;
      ++*at;
    }
    for (;;) {
      if (!TakeKeyword(text, at, &keyword)) return kSyntaxError;
      unit->keywords.push_back(keyword);
      if (*at >= text.size() || text[*at] != ':') break;
      ++*at;
    }
  }
  if (*at < text.size() && text[*at] == '?') {
    unit->query = true;
    ++*at;
  }
  return 0;
}

// Parameters joined by ','; a quoted string may hold ',' and ';'.
int ParseParameters(std::string_view text, ScpiUnit* unit) {
  if (Trim(text).empty()) return 0;
  size_t start = 0;
  char quote = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : ',';
    if (quote != 0) {
      if (c == quote) quote = 0;
      if (i == text.size()) return kSyntaxError;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ',') {
      const std::string_view parameter = Trim(text.substr(start, i - start));
      if (parameter.empty()) return kSyntaxError;
      unit->parameters.emplace_back(parameter);
      start = i + 1;
    }
  }
  return 0;
}

// Where the unit that starts at `at` ends: the next ';' outside quotes.
size_t UnitEnd(std::string_view text, size_t at) {
  char quote = 0;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      break;
    }
  }
  return at;
}

bool KeywordMatches(const ScpiNode& node, const std::string& keyword) {
  return keyword == node.long_form || keyword == node.long_form.substr(0, node.short_length);
}

bool MatchFrom(const std::vector<ScpiNode>& nodes, size_t node,
               const std::vector<std::string>& keywords, size_t keyword) {
  if (node == nodes.size()) return keyword == keywords.size();
  if (nodes[node].optional && MatchFrom(nodes, node + 1, keywords, keyword)) return true;
  return keyword < keywords.size() && KeywordMatches(nodes[node], keywords[keyword]) &&
         MatchFrom(nodes, node + 1, keywords, keyword + 1);
}

}  // namespace

int SplitScpiMessage(std::string_view message, std::vector<ScpiUnit>* units) {
  units->clear();
  size_t at = 0;
  for (;;) {
    const size_t end = UnitEnd(message, at);
    const std::string_view text = Trim(message.substr(at, end - at));
    // A message may end with ';' or be empty; an empty unit between two is wrong.
    if (text.empty()) {
      if (end < message.size() && !Trim(message.substr(end + 1)).empty()) return kSyntaxError;
      return 0;
    }
    ScpiUnit unit;
    size_t header_end = 0;
    if (ParseHeader(text, &header_end, &unit) != 0) return kSyntaxError;
    if (header_end < text.size() && !IsBlank(text[header_end])) return kSyntaxError;
    if (ParseParameters(text.substr(header_end), &unit) != 0) return kSyntaxError;
    units->push_back(std::move(unit));
    if (end >= message.size()) return 0;
    at = end + 1;
  }
}

std::vector<ScpiNode> ParseScpiPattern(std::string_view pattern) {
  std::vector<ScpiNode> nodes;
  bool optional = false;
  std::string word;
  auto finish = [&] {
    if (word.empty()) return;
    size_t capitals = 0;
    while (capitals < word.size() && !std::islower(static_cast<unsigned char>(word[capitals]))) {
      ++capitals;
    }
    nodes.push_back({Upper(word), capitals, optional});
    word.clear();
  };
  for (char c : pattern) {
    if (c == '[' || c == ']' || c == ':') {
      finish();
      if (c == '[') optional = true;
      if (c == ']') optional = false;
    } else {
      word += c;
    }
  }
  finish();
  return nodes;
}

bool HeaderMatches(const std::vector<ScpiNode>& nodes, const std::vector<std::string>& keywords) {
  return MatchFrom(nodes, 0, keywords, 0);
}
