#include "cli/script.h"

#include "cli/records.h"

namespace {

// The length of the UTF-8 sequence at text[at], or 0 when it is not one.
size_t Utf8Length(const std::string& text, size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  const size_t length = lead < 0x80                   ? 1
                        : lead >= 0xC2 && lead < 0xE0 ? 2
                        : lead >= 0xE0 && lead < 0xF0 ? 3
                        : lead >= 0xF0 && lead < 0xF5 ? 4
                                                      : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// The first byte that is no text: a control other than a tab, or not UTF-8.
size_t FirstBadByte(const std::string& line) {
  for (size_t at = 0; at < line.size();) {
    const unsigned char c = static_cast<unsigned char>(line[at]);
    const size_t length = Utf8Length(line, at);
    if (length == 0 || (c < 0x20 && c != '\t') || c == 0x7F) return at;
    at += length;
  }
  return std::string::npos;
}

// Words up to a comment, whose start goes to *used.
std::string SplitWords(const std::string& line, std::vector<std::string>* words, size_t* used) {
  *used = line.size();
  std::string word;
  bool in_word = false;
  char quote = 0;
  for (size_t at = 0; at < line.size(); ++at) {
    const char c = line[at];
    if (quote == '\'') {
      if (c == '\'') {
        quote = 0;
      } else {
        word += c;
      }
    } else if (quote == '"') {
      if (c == '"') {
        quote = 0;
      } else if (c == '\\' && at + 1 < line.size() &&
                 (line[at + 1] == '"' || line[at + 1] == '\\')) {
        word += line[++at];
      } else {
        word += c;
      }
    } else if (c == ' ' || c == '\t') {
      if (in_word) words->push_back(word);
      word.clear();
      in_word = false;
    } else if (c == '#' && !in_word) {
      *used = at;
      break;
    } else {
      in_word = true;
      if (c == '\'' || c == '"') {
        quote = c;
      } else if (c == '\\' && at + 1 < line.size()) {
        word += line[++at];
      } else {
        word += c;
      }
    }
  }
  if (quote != 0) {
    words->clear();
    return std::string("the quote ") + quote + " is not closed";
  }
  if (in_word) words->push_back(word);
  return "";
}

}  // namespace

std::vector<ScriptLine> SplitScript(const std::string& text) {
  std::vector<ScriptLine> lines;
  int number = 0;
  size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ScriptLine read{number, {}, ""};
    size_t used = 0;
    read.problem = SplitWords(line, &read.words, &used);
    // Comments may be in any code page; the words are echoed in messages.
    if (const size_t bad = FirstBadByte(line.substr(0, used)); bad != std::string::npos) {
      read.words.clear();
      read.problem = "the byte " + PrintableText(&line[bad], 1) + " in column " +
                     std::to_string(bad + 1) + " is not text";
    }
    if (!read.words.empty() || !read.problem.empty()) lines.push_back(std::move(read));
  }
  return lines;
}
