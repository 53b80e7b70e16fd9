// The controls of the three output pages.
#pragma once
#include <windows.h>

#include "ui/main_window_record_win.h"

// The page shown first, before the window appears; the other two, hidden,
// once it has been painted. All start disabled.
void BuildNormalOutputPage(HWND window, MainWindowRecord* record);
void BuildSweepAndReplayPages(HWND window, MainWindowRecord* record);
// Range and position of the slider for the current output type.
void SetupSlider();
