// Message boxes and dialogs that the program opens on its window's thread.
#include "tests/e2e/harness.h"

namespace e2e {

namespace {

BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
  wchar_t class_name[16] = {};
  GetClassNameW(window, class_name, 16);
  if (lstrcmpW(class_name, L"#32770") == 0 && IsWindowVisible(window)) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  }
  return TRUE;
}

}  // namespace

std::vector<DialogInfo> OpenDialogs(const ProgramRun& run) {
  std::vector<HWND> windows;
  if (run.process.dwThreadId != 0) {
    EnumThreadWindows(run.process.dwThreadId, CollectDialog, reinterpret_cast<LPARAM>(&windows));
  }
  std::vector<DialogInfo> dialogs;
  for (HWND window : windows) {
    DialogInfo info;
    info.window = window;
    info.caption = Text(window);
    HWND text = GetDlgItem(window, 0xFFFF);  // a message box's text
    if (text != nullptr) info.text = Text(text);
    dialogs.push_back(info);
  }
  return dialogs;
}

bool WaitForDialog(const ProgramRun& run, int timeout_ms, DialogInfo* out) {
  std::vector<DialogInfo> dialogs;
  const bool found = WaitUntil(
      [&] {
        dialogs = OpenDialogs(run);
        return !dialogs.empty();
      },
      timeout_ms);
  if (found && out != nullptr) *out = dialogs.front();
  return found;
}

void DismissDialog(const DialogInfo& dialog, int button) {
  PostMessageW(dialog.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog.window, button)));
}

bool WaitForDialogGone(const DialogInfo& dialog, int timeout_ms) {
  return WaitUntil([&] { return !IsWindow(dialog.window) || !IsWindowVisible(dialog.window); },
                   timeout_ms);
}

bool NoDialogWithin(const ProgramRun& run, int ms) {
  return !WaitForDialog(run, ms, nullptr);
}

}  // namespace e2e
