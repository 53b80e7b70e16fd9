// One SCPI message, run whole: parsed and checked first, so a message with a
// command error runs nothing; then each command in order.
#pragma once
#include <string>

#include "server/scpi_commands.h"

// The reply line without its LF: the queries' answers joined by ';', empty
// when there is none.
std::string RunScpiMessage(ScpiContext* context, const std::string& message);
