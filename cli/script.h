// The lines of a run script that hold a command.
#pragma once
#include <string>
#include <vector>

struct ScriptLine {
  int number;  // from 1, as an editor counts
  std::vector<std::string> words;
};

// Drops comments (from # on) and blank lines, and splits the rest at blanks
// and tabs. CR before LF is dropped too, so scripts saved on Windows read
// the same.
std::vector<ScriptLine> SplitScript(const std::string& text);
