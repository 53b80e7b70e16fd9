// The SCPI command table, and a header's lookup in it.
#pragma once
#include <string>
#include <vector>

#include "server/scpi_commands.h"

// The command the keywords name, or null.
const ScpiCommand* FindScpiCommand(const std::vector<std::string>& keywords);
