#include "ui/wide_text_win.h"

std::string GetControlText(HWND control) {
  wchar_t buffer[100] = {};
  GetWindowTextW(control, buffer, 100);
  return Narrow(buffer);
}

void SetControlText(HWND control, const char* utf8) {
  SetWindowTextW(control, Widen(utf8).c_str());
}

void ShowWarning(HWND owner, const char* text, const char* caption) {
  MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), MB_OK | MB_ICONWARNING);
}

void ShowNoAnswer(HWND owner) {
  ShowWarning(owner, "計測器から応答がありませんでした。", "エラー");
}
