// The shell's own operations: the window procedure, the main window's layout
// and live display, connecting and the status bar.
#pragma once
#include <windows.h>

#include "ui/main_window_record_win.h"

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Layout and live display.
void BuildMainWindow(HWND window);
// The pages not shown at first, built once the window has been painted.
void CompleteMainWindow(HWND window);
void EnablePageControls(bool enable, MainWindowRecord* record);
void ShowSelectedPage(MainWindowRecord* record);
void ShowLiveReport(const char* value_text, int output_type, int mode);

// Connection and status bar.
void CreateStatusBar(HWND window);
void ConnectInstrument(HWND window);
void DisconnectInstrument(HWND window);
void ShowConnectionText();
void ShowIdentityText();
int PollLinkTimer(HWND window);  // timer 1001: watches for a lost link
