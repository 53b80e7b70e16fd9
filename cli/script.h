// The lines of a run script that hold a command.
#pragma once
#include <string>
#include <vector>

struct ScriptLine {
  int number;  // from 1, as an editor counts
  std::vector<std::string> words;
  std::string problem;  // why the line cannot be read; empty when it can
};

// Drops a UTF-8 byte-order mark, comments (a # that starts a word, on) and
// blank lines, and splits the rest into words as a shell does: at blanks
// and tabs, with '...', "..." and \ quoting. CR before LF is dropped too,
// so scripts saved on Windows read the same. A line with a control byte,
// bytes that are not UTF-8, or an open quote has a problem, which shows
// such bytes as \xNN.
std::vector<ScriptLine> SplitScript(const std::string& text);
