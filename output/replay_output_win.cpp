// Stub: replaced by the real implementation.
#include "shell/main_window_win.h"

void StartReplay(HWND) {}
void StopReplay() {}
void ApplyRepeatCheck() {}
void CaptureReplayEntries() {}
