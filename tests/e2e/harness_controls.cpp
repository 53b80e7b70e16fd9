// Reading and working the program's controls from outside its process.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "tests/e2e/harness.h"

namespace e2e {

namespace {

// Sends and waits, bounded; false when the program did not answer in time.
bool Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result = nullptr) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                           kWaitTimeoutMs, &answer)) {
    return false;
  }
  if (result != nullptr) *result = static_cast<LRESULT>(answer);
  return true;
}

int Query(HWND window, UINT message, WPARAM wparam = 0) {
  LRESULT result = -1;
  Send(window, message, wparam, 0, &result);
  return static_cast<int>(result);
}

void PostClickAt(HWND control, int x, int y) {
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void PostKey(HWND control, WPARAM key) {
  PostMessageW(control, WM_KEYDOWN, key, 1);
  PostMessageW(control, WM_KEYUP, key, 0xC0000001);
}

}  // namespace

HWND Control(HWND parent, int id) {
  return GetDlgItem(parent, id);
}

HWND Control(const ProgramRun& run, int id) {
  return GetDlgItem(run.window, id);
}

std::string Text(HWND window) {
  const int length = Query(window, WM_GETTEXTLENGTH);
  if (window == nullptr || length < 0) return "<no window>";
  std::wstring text(length + 1, L'\0');
  LRESULT copied = 0;
  if (!Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied)) {
    return "<no answer>";
  }
  text.resize(copied);
  return Narrow(text);
}

std::string Text(const ProgramRun& run, int id) {
  return Text(Control(run, id));
}

std::vector<std::string> Texts(const ProgramRun& run, int id) {
  std::vector<std::string> texts;
  for (HWND child = nullptr; (child = FindWindowExW(run.window, child, nullptr, nullptr));) {
    if (GetDlgCtrlID(child) == id) texts.push_back(Text(child));
  }
  return texts;
}

bool IsEnabled(const ProgramRun& run, int id) {
  HWND control = Control(run, id);
  return control != nullptr && IsWindowEnabled(control);
}

bool IsVisible(HWND control) {
  return control != nullptr && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool IsVisible(const ProgramRun& run, int id) {
  return IsVisible(Control(run, id));
}

int CheckState(const ProgramRun& run, int id) {
  return Query(Control(run, id), BM_GETCHECK);
}

RECT WindowRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

void Click(HWND parent, int id) {
  HWND control = GetDlgItem(parent, id);
  PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

void Click(const ProgramRun& run, int id) {
  Click(run.window, id);
}

void Press(const ProgramRun& run, int id, bool check) {
  Send(Control(run, id), BM_SETCHECK, check ? BST_CHECKED : BST_UNCHECKED, 0);
  Click(run, id);
}

void MenuCommand(const ProgramRun& run, int id) {
  PostMessageW(run.window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void CloseBox(HWND window) {
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool SetText(HWND control, const std::string& utf8) {
  const std::wstring text = Widen(utf8);
  return control != nullptr && Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool SetText(const ProgramRun& run, int id, const std::string& utf8) {
  return SetText(Control(run, id), utf8);
}

int SelectedTab(const ProgramRun& run) {
  return Query(Control(run, 800), TCM_GETCURSEL);
}

bool SelectTab(const ProgramRun& run, int index) {
  HWND tab = Control(run, 800);
  const int from = SelectedTab(run);
  for (int step = from; tab != nullptr && step != index; step += index > from ? 1 : -1) {
    PostKey(tab, index > from ? VK_RIGHT : VK_LEFT);
  }
  return WaitUntil([&] { return SelectedTab(run) == index; }) && Sync(run);
}

bool MoveSlider(const ProgramRun& run, int pos) {
  HWND slider = Control(run, 900);
  if (!Send(slider, TBM_SETPOS, TRUE, pos)) return false;
  // What the trackbar sends its parent when the thumb is let go.
  const LPARAM from = reinterpret_cast<LPARAM>(slider);
  PostMessageW(run.window, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, pos), from);
  PostMessageW(run.window, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), from);
  return true;
}

int SliderPos(const ProgramRun& run) {
  return Query(Control(run, 900), TBM_GETPOS);
}

void ClickUpDown(const ProgramRun& run, int id, int delta) {
  RECT rect = {};
  GetClientRect(Control(run, id), &rect);
  PostClickAt(Control(run, id), rect.right / 2, delta > 0 ? rect.bottom / 4 : rect.bottom * 3 / 4);
}

std::vector<std::string> ComboItems(HWND combo) {
  std::vector<std::string> items;
  for (int i = 0, count = Query(combo, CB_GETCOUNT); i < count; ++i) {
    std::wstring text(Query(combo, CB_GETLBTEXTLEN, i) + 1, L'\0');
    LRESULT copied = 0;
    Send(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()), &copied);
    text.resize(copied < 0 ? 0 : copied);
    items.push_back(Narrow(text));
  }
  return items;
}

int ComboSelection(HWND combo) {
  return Query(combo, CB_GETCURSEL);
}

bool SelectComboItem(HWND parent, int id, int index) {
  HWND combo = GetDlgItem(parent, id);
  if (!Send(combo, CB_SETCURSEL, index, 0)) return false;
  PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  return true;
}

std::string StatusText(const ProgramRun& run, int part) {
  // The bar writes into memory of its own process: a buffer is lent there.
  HWND bar = Control(run, 4000);
  const size_t bytes = (LOWORD(Query(bar, SB_GETTEXTLENGTHW, part)) + 1) * sizeof(wchar_t);
  HANDLE process = run.process.hProcess;
  void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  std::wstring text(bytes / sizeof(wchar_t), L'\0');
  const bool read = remote != nullptr && Send(bar, SB_GETTEXTW, part, LPARAM(remote)) &&
                    ReadProcessMemory(process, remote, text.data(), bytes, nullptr);
  // A bar that did not answer in time may still write there later.
  if (read) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  if (!read) return "<no answer>";
  text.resize(wcsnlen(text.c_str(), text.size()));
  return Narrow(text);
}

bool Sync(const ProgramRun& run, int timeout_ms) {
  // A sent message is handled once the thread takes messages again; the second
  // one comes after whatever was posted before the first.
  DWORD_PTR ignored = 0;
  for (int round = 0; round < 2; ++round) {
    if (!SendMessageTimeoutW(run.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, timeout_ms,
                             &ignored)) {
      return false;
    }
    Sleep(20);
  }
  return true;
}

}  // namespace e2e
