// Stub: replaced by the real implementation.
#include "shell/main_window_win.h"

void ApplyOutputType() {}
void SetOutputValue(HWND) {}
void OutputOff() {}
void ApplyRealtimeCheck() {}
void RealtimeTick(HWND) {}
void LiveValueTick(HWND) {}
void SliderMoved() {}
void StepOutputValue(int, int) {}
void CaptureOutputEntries() {}
