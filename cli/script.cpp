#include "cli/script.h"

std::vector<ScriptLine> SplitScript(const std::string& text) {
  std::vector<ScriptLine> lines;
  int number = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++number;
    line = line.substr(0, line.find('#'));
    ScriptLine words{number, {}};
    size_t word = line.find_first_not_of(" \t\r");
    while (word != std::string::npos) {
      const size_t stop = line.find_first_of(" \t\r", word);
      words.words.push_back(line.substr(word, stop == std::string::npos ? stop : stop - word));
      word = stop == std::string::npos ? stop : line.find_first_not_of(" \t\r", stop);
    }
    if (!words.words.empty()) lines.push_back(std::move(words));
  }
  return lines;
}
