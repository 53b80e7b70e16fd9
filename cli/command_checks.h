// The checks of a command's values before anything is sent: the output
// pages' own checks, and the forms that only the client has (output type
// names, channels, durations, times). Messages say exactly what is wrong.
#pragma once
#include "cli/command.h"
#include "cli/exit_codes.h"
#include "output/entry_checks.h"

// Fills the made fields of *command, or gives kExitUsage with the message.
Outcome PrepareCommand(Command* command, bool json);

// "20.5 is outside 0 to 20 mA (type 2)", for the field as the command names it.
std::string DescribeEntryProblem(const EntryProblem& problem, const Command& command);

// 0-3, or mv, v, ma, ma-ext in any case; -1 for anything else.
int OutputTypeFromText(const std::string& text);
