// Stub: replaced by the real implementation.
#include "shell/main_window_win.h"

void LoadSettings() {}
void SaveSetting(int) {}
void SaveOutputSettings() {}
