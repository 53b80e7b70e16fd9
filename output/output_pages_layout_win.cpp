// Stub: replaced by the real implementation.
#include "shell/main_window_win.h"

void BuildOutputPages(HWND, MainWindowRecord*) {}
void SetupSlider() {}
