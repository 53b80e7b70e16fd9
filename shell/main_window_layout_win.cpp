// Stub: replaced by the real implementation.
#include "shell/main_window_win.h"

void BuildMainWindow(HWND) {}
void EnablePageControls(bool, MainWindowRecord*) {}
void ShowSelectedPage(MainWindowRecord*) {}
void ShowLiveReport(const char*, int, int) {}
