// The controls of the three output pages.
#pragma once
#include <windows.h>

#include "ui/main_window_record_win.h"

void BuildOutputPages(HWND window, MainWindowRecord* record);
// Range and position of the slider for the current output type.
void SetupSlider();
