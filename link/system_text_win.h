// The system's own text for an error code, as one line.
#pragma once
#include <windows.h>

#include <string>

std::string SystemText(DWORD error);
