// Window texts in UTF-8, through the W functions.
#pragma once
#include <windows.h>

#include <string>

#include "link/utf16_win.h"

std::string GetControlText(HWND control);  // at most 99 characters
void SetControlText(HWND control, const char* utf8);
void ShowWarning(HWND owner, const char* text, const char* caption);
// A command that got no answer or could not be sent: said so, never shown as done.
void ShowNoAnswer(HWND owner);
