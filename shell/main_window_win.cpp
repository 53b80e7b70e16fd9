// Stub: replaced by the real implementation.
#include "shell/main_window_win.h"

HINSTANCE instance_handle;
HWND main_window_handle;
int screen_dpi = 96;
HFONT normal_font;
HFONT medium_font;
HFONT large_font;
MainWindowRecord* main_window;
int Scale(int v) {
  return screen_dpi * v / 96;
}
std::wstring Widen(const char*) {
  return {};
}
std::string Narrow(const wchar_t*) {
  return {};
}
std::string GetControlText(HWND) {
  return {};
}
void SetControlText(HWND, const char*) {}
void ShowWarning(HWND, const char*, const char*) {}
LRESULT CALLBACK MainWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(w, m, wp, lp);
}
