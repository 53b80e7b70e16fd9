// The client's command line and its script lines, read with CLI11. Only the
// shape is checked here; PrepareCommand checks the values.
#pragma once
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/exit_codes.h"

extern const char* const kProgramName;  // "rv-sola62-cli"

struct ParsedCommandLine {
  Outcome outcome;  // kExitUsage with the message, or ok
  bool help_shown = false;
  std::string help;  // with help_shown: the text for stdout
  GlobalOptions globals;
  Command command;
};

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv);

// One script line's words, the command first.
Outcome ParseScriptWords(const std::vector<std::string>& words, Command* command);
