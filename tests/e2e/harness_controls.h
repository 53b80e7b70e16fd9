// Reading and working the program's controls, dialogs and message boxes from
// outside its process.
#pragma once
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>

#include "tests/e2e/harness_program.h"

namespace e2e {

// Sends and waits, bounded; -1 when the window did not answer in time.
inline LRESULT Query(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  DWORD_PTR answer = 0;
  const bool sent = SendMessageTimeoutW(window, message, wparam, lparam,
                                        SMTO_ABORTIFHUNG | SMTO_BLOCK, kWaitTimeoutMs, &answer);
  return sent ? static_cast<LRESULT>(answer) : -1;
}

// Returns once the program's thread has handled everything posted so far
// (false after the wait bound): a sent message is handled once the thread takes
// messages again, and the second one after whatever was posted before the first.
inline bool Sync(const ProgramRun& run) {
  for (int round = 0; round < 2; ++round, Sleep(20)) {
    if (Query(run.window, WM_NULL) != 0) return false;
  }
  return true;
}

// A control of the main window or, given its window, of a dialog.
inline HWND Control(HWND parent, int id) {
  return GetDlgItem(parent, id);
}
inline HWND Control(const ProgramRun& run, int id) {
  return GetDlgItem(run.window, id);
}

inline std::string Text(HWND window) {  // UTF-8
  const LRESULT length = Query(window, WM_GETTEXTLENGTH);
  std::wstring text(length + 1, L'\0');
  const LRESULT copied = length < 0 ? -1 : Query(window, WM_GETTEXT, text.size(), LPARAM(&text[0]));
  if (copied < 0) return "<no answer>";
  text.resize(copied);
  return Narrow(text);
}
inline std::string Text(const ProgramRun& run, int id) {
  return Text(Control(run, id));
}

// The texts of every child with this id (some label ids are used on more than one page).
inline std::vector<std::string> Texts(const ProgramRun& run, int id) {
  std::vector<std::string> texts;
  for (HWND child = nullptr; (child = FindWindowExW(run.window, child, nullptr, nullptr));) {
    if (GetDlgCtrlID(child) == id) texts.push_back(Text(child));
  }
  return texts;
}

inline bool IsEnabled(const ProgramRun& run, int id) {
  return Control(run, id) != nullptr && IsWindowEnabled(Control(run, id));
}

inline bool IsVisible(HWND control) {  // its own style bit
  return control != nullptr && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

inline int CheckState(const ProgramRun& run, int id) {  // BST_*
  return static_cast<int>(Query(Control(run, id), BM_GETCHECK));
}

inline RECT WindowRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

// Posts WM_COMMAND(id, code) to the parent: never waits, so a click that opens
// a message box or dialog cannot hang the test.
inline void Click(HWND parent, int id, WORD code = BN_CLICKED) {
  PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), LPARAM(GetDlgItem(parent, id)));
}
inline void Click(const ProgramRun& run, int id) {
  Click(run.window, id);
}
inline void MenuCommand(const ProgramRun& run, int id) {  // 100 exit, 101 about
  Click(run.window, id, 0);
}

// What an auto radio button or check box does on a click: its own check state
// first, then the command to the window.
inline void Press(const ProgramRun& run, int id, bool check) {
  Query(Control(run, id), BM_SETCHECK, check ? BST_CHECKED : BST_UNCHECKED);
  Click(run, id);
}

inline void CloseBox(HWND window) {  // the caption's close button
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

inline void PostKey(HWND window, WPARAM key) {
  PostMessageW(window, WM_KEYDOWN, key, 1);
  PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

inline bool SetText(HWND control, const std::string& utf8) {
  const std::wstring text = Widen(utf8);
  return Query(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) == TRUE;
}
inline bool SetText(const ProgramRun& run, int id, const std::string& utf8) {
  return SetText(Control(run, id), utf8);
}

inline int SelectedTab(const ProgramRun& run) {
  return static_cast<int>(Query(Control(run, 800), TCM_GETCURSEL));
}

// Selects a tab as the user's arrow keys would: the tab control itself then
// sends its TCN_SELCHANGE notification inside the program.
inline bool SelectTab(const ProgramRun& run, int index) {
  for (int tab = SelectedTab(run); tab >= 0 && tab != index; tab += index > tab ? 1 : -1) {
    PostKey(Control(run, 800), index > tab ? VK_RIGHT : VK_LEFT);
  }
  return WaitUntil([&] { return SelectedTab(run) == index; }) && Sync(run);
}

// Moves the slider (id 900) to pos and reports it as the trackbar does when the
// thumb is let go.
inline void MoveSlider(const ProgramRun& run, int pos) {
  const LPARAM slider = LPARAM(Control(run, 900));
  Query(Control(run, 900), TBM_SETPOS, TRUE, pos);
  PostMessageW(run.window, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, pos), slider);
  PostMessageW(run.window, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), slider);
}

inline int SliderPos(const ProgramRun& run) {
  return static_cast<int>(Query(Control(run, 900), TBM_GETPOS));
}

// One click on the up (delta +1) or down (-1) arrow of an up-down control.
inline void ClickUpDown(const ProgramRun& run, int id, int delta) {
  RECT rect = {};
  GetClientRect(Control(run, id), &rect);
  const LPARAM point = MAKELPARAM(rect.right / 2, rect.bottom * (delta > 0 ? 1 : 3) / 4);
  PostMessageW(Control(run, id), WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageW(Control(run, id), WM_LBUTTONUP, 0, point);
}

inline std::vector<std::string> ComboItems(HWND combo) {
  std::vector<std::string> items;
  for (LRESULT i = 0, count = Query(combo, CB_GETCOUNT); i < count; ++i) {
    std::wstring text(Query(combo, CB_GETLBTEXTLEN, i) + 1, L'\0');
    text.resize(std::max<LRESULT>(0, Query(combo, CB_GETLBTEXT, i, LPARAM(&text[0]))));
    items.push_back(Narrow(text));
  }
  return items;
}

inline int ComboSelection(HWND combo) {
  return static_cast<int>(Query(combo, CB_GETCURSEL));
}

// Selects an item and notifies the parent, as the user's choice would.
inline void SelectComboItem(HWND parent, int id, int index) {
  Query(Control(parent, id), CB_SETCURSEL, index);
  Click(parent, id, CBN_SELCHANGE);
}

// A part's text of the status bar (id 4000), which writes it into memory of
// its own process: a buffer is lent there.
inline std::string StatusText(const ProgramRun& run, int part) {
  HWND bar = Control(run, 4000);
  std::wstring text(LOWORD(Query(bar, SB_GETTEXTLENGTHW, part)) + 1, L'\0');
  const SIZE_T bytes = text.size() * sizeof(wchar_t);
  HANDLE process = run.process.hProcess;
  void* lent = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
  if (lent == nullptr || Query(bar, SB_GETTEXTW, part, LPARAM(lent)) < 0 ||
      !ReadProcessMemory(process, lent, text.data(), bytes, nullptr)) {
    return "<no answer>";  // the buffer stays: the bar may still write there
  }
  VirtualFreeEx(process, lent, 0, MEM_RELEASE);
  text.resize(wcsnlen(text.c_str(), text.size()));
  return Narrow(text);
}

// ---- Message boxes and dialogs (#32770 windows of the program's thread) ----
struct DialogInfo {
  HWND window = nullptr;
  std::string caption;
  std::string text;  // the message box's static 0xFFFF, "" for other dialogs
};

inline std::vector<DialogInfo> OpenDialogs(const ProgramRun& run) {
  std::vector<DialogInfo> dialogs;
  for (HWND window : ThreadWindows(run, L"#32770")) {
    HWND text = GetDlgItem(window, 0xFFFF);
    dialogs.push_back({window, Text(window), text != nullptr ? Text(text) : ""});
  }
  return dialogs;
}

// Waits for the first open one (with this caption, unless empty).
inline bool WaitForDialog(const ProgramRun& run, int timeout_ms, DialogInfo* out,
                          const std::string& caption = "") {
  return WaitUntil(
      [&] {
        for (const DialogInfo& dialog : OpenDialogs(run)) {
          if (!caption.empty() && dialog.caption != caption) continue;
          if (out != nullptr) *out = dialog;
          return true;
        }
        return false;
      },
      timeout_ms);
}

inline bool NoDialogWithin(const ProgramRun& run, int ms) {
  return !WaitForDialog(run, ms, nullptr);
}

inline void DismissDialog(const DialogInfo& dialog, int button = IDOK) {
  Click(dialog.window, button);
}

inline bool WaitForDialogGone(const DialogInfo& dialog) {
  return WaitUntil([&] { return !IsWindowVisible(dialog.window); });
}

}  // namespace e2e
