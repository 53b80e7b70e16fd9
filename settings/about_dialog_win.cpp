// Stub: replaced by the real implementation.
#include "shell/main_window_win.h"

INT_PTR CALLBACK AboutDialogProc(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}
