// Stub: replaced by the real implementation.
#include "shell/main_window_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return 0;
}
