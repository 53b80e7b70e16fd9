// Stub: replaced by the real implementation.
#include "shell/main_window_win.h"

void CreateStatusBar(HWND) {}
void ShowConnectionText() {}
void ShowIdentityText() {}
