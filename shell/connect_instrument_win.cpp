// Stub: replaced by the real implementation.
#include "shell/main_window_win.h"

void ConnectInstrument(HWND) {}
void DisconnectInstrument(HWND) {}
int PollLinkTimer(HWND) {
  return 0;
}
