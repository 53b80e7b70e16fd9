// UTF-8, in which the code keeps its texts, and the UTF-16 of the W functions.
#pragma once
#include <windows.h>

#include <string>

std::wstring Widen(const char* utf8);
std::string Narrow(const wchar_t* text);
