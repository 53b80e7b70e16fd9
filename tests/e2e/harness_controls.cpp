// Reading and working the program's controls from outside its process.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "tests/e2e/harness.h"

namespace e2e {

namespace {

constexpr UINT kSendFlags = SMTO_ABORTIFHUNG | SMTO_BLOCK;

std::string NarrowUtf8(const std::wstring& text) {
  if (text.empty()) return "";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string narrow(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), narrow.data(), size,
                      nullptr, nullptr);
  return narrow;
}

std::wstring WidenUtf8(const std::string& text) {
  if (text.empty()) return L"";
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(size, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

// Sends and waits, bounded; false when the program did not answer in time.
bool Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result = nullptr) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(window, message, wparam, lparam, kSendFlags, kWaitTimeoutMs, &answer)) {
    return false;
  }
  if (result != nullptr) *result = static_cast<LRESULT>(answer);
  return true;
}

// Memory inside the program, for messages whose pointers Windows does not
// carry across processes (status bar text, tab rectangles, notifications).
struct RemoteBuffer {
  HANDLE process = nullptr;
  void* address = nullptr;
  bool leak = false;  // the program may still use it
  RemoteBuffer(HANDLE target, size_t size) : process(target) {
    address = VirtualAllocEx(target, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address != nullptr && !leak) VirtualFreeEx(process, address, 0, MEM_RELEASE);
  }
  bool Write(const void* bytes, size_t size) {
    SIZE_T done = 0;
    return WriteProcessMemory(process, address, bytes, size, &done) && done == size;
  }
  bool Read(void* bytes, size_t size) {
    SIZE_T done = 0;
    return ReadProcessMemory(process, address, bytes, size, &done) && done == size;
  }
  LPARAM Param() const { return reinterpret_cast<LPARAM>(address); }
};

void PostClickAt(HWND control, int x, int y) {
  const LPARAM point = MAKELPARAM(x, y);
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageW(control, WM_LBUTTONUP, 0, point);
}

}  // namespace

HWND Control(HWND parent, int id) {
  return GetDlgItem(parent, id);
}

HWND Control(const ProgramRun& run, int id) {
  return GetDlgItem(run.window, id);
}

namespace {

struct ChildSearch {
  HWND parent;
  int id;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  ChildSearch* search = reinterpret_cast<ChildSearch*>(param);
  if (GetParent(child) == search->parent && GetDlgCtrlID(child) == search->id) {
    search->found.push_back(child);
  }
  return TRUE;
}

}  // namespace

std::vector<HWND> Controls(HWND parent, int id) {
  ChildSearch search = {parent, id, {}};
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<std::string> Texts(const ProgramRun& run, int id) {
  std::vector<std::string> texts;
  for (HWND control : Controls(run.window, id)) texts.push_back(Text(control));
  return texts;
}

std::string Text(HWND window) {
  LRESULT length = 0;
  if (window == nullptr || !Send(window, WM_GETTEXTLENGTH, 0, 0, &length)) return "<no window>";
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  LRESULT copied = 0;
  if (!Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied)) {
    return "<no answer>";
  }
  text.resize(static_cast<size_t>(copied));
  return NarrowUtf8(text);
}

std::string Text(const ProgramRun& run, int id) {
  return Text(Control(run, id));
}

bool IsEnabled(const ProgramRun& run, int id) {
  HWND control = Control(run, id);
  return control != nullptr && IsWindowEnabled(control);
}

bool IsVisible(const ProgramRun& run, int id) {
  HWND control = Control(run, id);
  return control != nullptr && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

int CheckState(const ProgramRun& run, int id) {
  LRESULT state = -1;
  Send(Control(run, id), BM_GETCHECK, 0, 0, &state);
  return static_cast<int>(state);
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

void MenuCommand(const ProgramRun& run, int id) {
  PostMessageW(run.window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void CloseWindow(const ProgramRun& run) {
  PostMessageW(run.window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool SetText(HWND control, const std::string& utf8) {
  const std::wstring text = WidenUtf8(utf8);
  return control != nullptr && Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool SetText(const ProgramRun& run, int id, const std::string& utf8) {
  return SetText(Control(run, id), utf8);
}

int SelectedTab(const ProgramRun& run) {
  LRESULT index = -1;
  Send(Control(run, 800), TCM_GETCURSEL, 0, 0, &index);
  return static_cast<int>(index);
}

bool SelectTab(const ProgramRun& run, int index) {
  HWND tab = Control(run, 800);
  if (tab == nullptr) return false;
  if (SelectedTab(run) == index) return true;
  // Click the middle of the tab's header; the control itself then notifies.
  RemoteBuffer rect_buffer(run.process.hProcess, sizeof(RECT));
  LRESULT ok = 0;
  RECT rect = {};
  if (rect_buffer.address != nullptr &&
      Send(tab, TCM_GETITEMRECT, index, rect_buffer.Param(), &ok) && ok &&
      rect_buffer.Read(&rect, sizeof rect)) {
    PostClickAt(tab, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  }
  return WaitUntil([&] { return SelectedTab(run) == index; }) && Sync(run);
}

bool MoveSlider(const ProgramRun& run, int pos) {
  HWND slider = Control(run, 900);
  if (slider == nullptr || !Send(slider, TBM_SETPOS, TRUE, pos)) return false;
  // What the trackbar sends its parent when the thumb is let go.
  PostMessageW(run.window, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, pos),
               reinterpret_cast<LPARAM>(slider));
  PostMessageW(run.window, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0),
               reinterpret_cast<LPARAM>(slider));
  return true;
}

int SliderPos(const ProgramRun& run) {
  LRESULT pos = 0;
  Send(Control(run, 900), TBM_GETPOS, 0, 0, &pos);
  return static_cast<int>(pos);
}

bool ClickUpDown(const ProgramRun& run, int id, int delta) {
  HWND arrows = Control(run, id);
  if (arrows == nullptr) return false;
  RECT rect = {};
  GetClientRect(arrows, &rect);
  const int y = delta > 0 ? rect.bottom / 4 : rect.bottom * 3 / 4;
  PostClickAt(arrows, rect.right / 2, y);
  return true;
}

int ComboSelection(HWND combo) {
  LRESULT index = -1;
  Send(combo, CB_GETCURSEL, 0, 0, &index);
  return static_cast<int>(index);
}

std::string ComboItemText(HWND combo, int index) {
  LRESULT length = 0;
  if (!Send(combo, CB_GETLBTEXTLEN, index, 0, &length) || length < 0) return "<none>";
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  LRESULT copied = 0;
  if (!Send(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()), &copied) ||
      copied < 0) {
    return "<none>";
  }
  text.resize(static_cast<size_t>(copied));
  return NarrowUtf8(text);
}

bool SelectComboItem(HWND parent, int id, int index) {
  HWND combo = GetDlgItem(parent, id);
  if (combo == nullptr || !Send(combo, CB_SETCURSEL, index, 0)) return false;
  PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  return true;
}

std::string StatusText(const ProgramRun& run, int part) {
  HWND bar = Control(run, 4000);
  LRESULT length = 0;
  if (bar == nullptr || !Send(bar, SB_GETTEXTLENGTHW, part, 0, &length)) return "<no status bar>";
  const size_t chars = LOWORD(length) + 1;
  RemoteBuffer buffer(run.process.hProcess, chars * sizeof(wchar_t));
  std::wstring text(chars, L'\0');
  if (buffer.address == nullptr || !buffer.Write(text.data(), chars * sizeof(wchar_t)) ||
      !Send(bar, SB_GETTEXTW, part, buffer.Param()) ||
      !buffer.Read(text.data(), chars * sizeof(wchar_t))) {
    return "<no answer>";
  }
  text.resize(wcsnlen(text.c_str(), chars));
  return NarrowUtf8(text);
}

bool Sync(const ProgramRun& run, int timeout_ms) {
  // A sent message is handled once the thread takes messages again; the second
  // one comes after whatever was posted before the first.
  DWORD_PTR ignored = 0;
  for (int round = 0; round < 2; ++round) {
    if (!SendMessageTimeoutW(run.window, WM_NULL, 0, 0, kSendFlags, timeout_ms, &ignored)) {
      return false;
    }
    Sleep(20);
  }
  return true;
}

}  // namespace e2e
