// End-to-end harness: starts the real rv-sola62.exe and works its windows from
// this separate process as a user would; harness_fake.h plays the instrument.
#pragma once
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace e2e {

// Every wait in the harness is bounded by one of these.
constexpr int kStartTimeoutMs = 15000;
constexpr int kWaitTimeoutMs = 8000;

inline bool WaitUntil(const std::function<bool()>& condition, int timeout_ms = kWaitTimeoutMs) {
  for (const uint64_t end = GetTickCount64() + timeout_ms; !condition(); Sleep(10)) {
    if (GetTickCount64() >= end) return false;
  }
  return true;
}

inline std::wstring Widen(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                  wide.data(), static_cast<int>(wide.size())));
  return wide;
}

inline std::string Narrow(const std::wstring& text) {
  std::string narrow(text.size() * 3, '\0');
  narrow.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    narrow.data(), static_cast<int>(narrow.size()), nullptr,
                                    nullptr));
  return narrow;
}

// A path handed over from Linux, as the program sees it (the root is drive Z:).
inline std::wstring WindowsPath(const std::string& unix_or_windows_path) {
  std::wstring path = Widen(unix_or_windows_path);
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return path;
}

// ---- What the Wine session prepared (environment; "" when unset) ----
inline std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}
inline const std::wstring kProgramPath = WindowsPath(Env("RV_E2E_PROGRAM"));
inline const std::string kSimulatorComPort = Env("RV_E2E_SIM_COM");  // the simulator's pty
// A second simulator's pty, which closes after five frames.
inline const std::string kVanishingComPort = Env("RV_E2E_GONE_COM");
// A third's, which reads nothing for kStallMs after the three frames of each identification.
inline const std::string kStallingComPort = Env("RV_STALLS_COM");
inline const int kStallMs = std::atoi(Env("RV_STALL_MS").c_str());

// ---- Loopback sockets: tests never listen on or connect to any other address ----
inline sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(port));
  return address;
}

// Listening on 127.0.0.1 at a port the system picked; INVALID_SOCKET when that failed.
inline SOCKET ListenOnLoopback(int backlog, int* port) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);  // counted; Winsock stays up until the process ends
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = Loopback(0);
  int size = sizeof address;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      listen(listener, backlog) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    closesocket(listener);
    return INVALID_SOCKET;
  }
  *port = ntohs(address.sin_port);
  return listener;
}

// ---- config.ini texts ----
// A complete [IF] section for the serial port (connection type 0), or for
// 127.0.0.1:tcp_port (type 1) when one is given.
inline std::string LinkConfig(const std::string& com_port, int tcp_port = 0) {
  return "[IF]\r\ntype=" + std::string(tcp_port != 0 ? "1" : "0") + "\r\ncom=" + com_port +
         "\r\nip=2130706433\r\nport=" + std::to_string(tcp_port != 0 ? tcp_port : 10101) + "\r\n";
}

using Strings = std::vector<std::string>;

// The values at "section/key" in an ini text; "<missing>" for each one absent.
inline Strings IniValues(const std::string& ini_text, const Strings& paths) {
  Strings values;
  for (const std::string& path : paths) {
    const size_t slash = path.find('/');
    const std::regex pattern("\\[" + path.substr(0, slash) + "\\][^\\[]*\\n" +
                             path.substr(slash + 1) + "=([^\\r\\n]*)");
    std::smatch match;
    values.push_back(std::regex_search(ini_text, match, pattern) ? match[1].str() : "<missing>");
  }
  return values;
}

// ---- Windows of the program ----
// Sends and waits, bounded; -1 when the window did not answer in time.
inline LRESULT Query(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  DWORD_PTR answer = 0;
  const bool sent = SendMessageTimeoutW(window, message, wparam, lparam,
                                        SMTO_ABORTIFHUNG | SMTO_BLOCK, kWaitTimeoutMs, &answer);
  return sent ? static_cast<LRESULT>(answer) : -1;
}

inline std::string WindowText(HWND window) {  // UTF-8
  const LRESULT length = Query(window, WM_GETTEXTLENGTH);
  std::wstring text(length + 1, L'\0');
  const LRESULT copied = length < 0 ? -1 : Query(window, WM_GETTEXT, text.size(), LPARAM(&text[0]));
  if (copied < 0) return "<no answer>";
  text.resize(copied);
  return Narrow(text);
}

// The main window or a dialog, and its controls. Clicks are posted as
// WM_COMMAND(id, code), so a click that opens a message box or dialog never
// waits for it.
struct Window {
  HWND window = nullptr;
  HWND Control(int id) const { return GetDlgItem(window, id); }
  std::string Text() const { return WindowText(window); }
  std::string Text(int id) const { return WindowText(Control(id)); }
  bool SetText(int id, const std::string& utf8) const {
    return Query(Control(id), WM_SETTEXT, 0, LPARAM(Widen(utf8).c_str())) == TRUE;
  }
  bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != 0; }
  bool Visible(int id) const { return (GetWindowLongW(Control(id), GWL_STYLE) & WS_VISIBLE) != 0; }
  int Checked(int id) const { return static_cast<int>(Query(Control(id), BM_GETCHECK)); }  // BST_*
  void Click(int id, WORD code = BN_CLICKED) const { Post(WM_COMMAND, MAKEWPARAM(id, code), id); }
  void CloseBox() const { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }
  int ComboSelection(int id) const { return static_cast<int>(Query(Control(id), CB_GETCURSEL)); }
  // Selects an item and notifies the parent, as the user's choice would.
  void SelectComboItem(int id, int index) const {
    Query(Control(id), CB_SETCURSEL, index);
    Click(id, CBN_SELCHANGE);
  }
  std::vector<std::string> ComboItems(int id) const {
    std::vector<std::string> items;
    wchar_t item[128];  // room for any port name the list takes
    for (int i = 0; Query(Control(id), CB_GETLBTEXT, i, LPARAM(item)) >= 0; ++i) {
      items.push_back(Narrow(item));
    }
    return items;
  }
  void PressKey(WPARAM key, int id = 0) const {
    PostMessageW(id != 0 ? Control(id) : window, WM_KEYDOWN, key, 1);
    PostMessageW(id != 0 ? Control(id) : window, WM_KEYUP, key, 0xC0000001);
  }
  // A message with lparam naming the control id, as controls send them.
  void Post(UINT message, WPARAM wparam, int id) const {
    PostMessageW(window, message, wparam, LPARAM(Control(id)));
  }
};

// A #32770 window of the program's thread: a dialog, or a message box with its text.
struct Dialog : Window {
  std::string caption;
  std::string text;  // the message box's static 0xFFFF, "" for other dialogs
  bool WaitGone() const {
    return WaitUntil([&] { return !IsWindowVisible(window); });
  }
};

// The program in a directory of its own, and its main window ("MYMAIN").
class ProgramRun : public Window {
 public:
  std::wstring dir;  // its current directory
  PROCESS_INFORMATION process = {};

  ProgramRun() = default;
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;
  ~ProgramRun() { Kill(); }

  // Starts the program in this directory and waits for its window.
  bool Start(const std::wstring& directory, std::string* error = nullptr) {
    Kill();
    dir = directory;
    std::wstring command_line = L"\"" + kProgramPath + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(kProgramPath.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, dir.c_str(), &startup, &process)) {
      if (error != nullptr) *error = "CreateProcessW failed: " + std::to_string(GetLastError());
      return false;
    }
    WaitUntil(
        [&] {
          const std::vector<HWND> windows = ThreadWindows(L"MYMAIN");
          window = windows.empty() ? nullptr : windows[0];
          return window != nullptr || !Running();
        },
        kStartTimeoutMs);
    // Let the window finish its first paint and timers before the test acts.
    WaitForInputIdle(process.hProcess, kWaitTimeoutMs);
    if (window == nullptr && error != nullptr) *error = "no MYMAIN window within the start bound";
    return window != nullptr;
  }

  bool Running() const { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }

  bool WaitForExit(int timeout_ms, DWORD* exit_code) {
    if (WaitForSingleObject(process.hProcess, timeout_ms) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(process.hProcess, exit_code);
    Kill();
    return true;
  }

  void Kill() {
    if (process.hProcess == nullptr) return;
    TerminateProcess(process.hProcess, 1);  // our own child only; nothing once it has ended
    WaitForSingleObject(process.hProcess, kWaitTimeoutMs);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = {};
    window = nullptr;
  }

  // Its config.ini, as text ("" when missing).
  std::string Config() const {
    std::ifstream file(std::filesystem::path(dir) / "config.ini", std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }

  // Returns once the program's thread has handled everything posted so far
  // (false after the wait bound): a sent message is handled once the thread
  // takes messages again, the second one after whatever was posted before the first.
  bool Sync() const {
    for (int round = 0; round < 2; ++round, Sleep(20)) {
      if (Query(window, WM_NULL) != 0) return false;
    }
    return true;
  }

  void Menu(int id) const { Click(id, 0); }  // 100 exit, 101 about

  // What an auto radio button or check box does on a click: its own check
  // state first, then the command to the window.
  void Press(int id, bool check) const {
    Query(Control(id), BM_SETCHECK, check ? BST_CHECKED : BST_UNCHECKED);
    Click(id);
  }

  // The texts of every child with this id (some label ids are used on more than one page).
  std::vector<std::string> Texts(int id) const {
    std::vector<std::string> texts;
    for (HWND child = nullptr; (child = FindWindowExW(window, child, nullptr, nullptr));) {
      if (GetDlgCtrlID(child) == id) texts.push_back(WindowText(child));
    }
    return texts;
  }

  int Tab() const { return static_cast<int>(Query(Control(800), TCM_GETCURSEL)); }

  // Selects a tab as the user's arrow keys would: the tab control itself then
  // sends its TCN_SELCHANGE notification inside the program.
  bool SelectTab(int index) const {
    for (int tab = Tab(); tab >= 0 && tab != index; tab += index > tab ? 1 : -1) {
      PressKey(index > tab ? VK_RIGHT : VK_LEFT, 800);
    }
    return WaitUntil([&] { return Tab() == index; }) && Sync();
  }

  int Slider() const { return static_cast<int>(Query(Control(900), TBM_GETPOS)); }

  // Moves the slider (id 900) and reports it as the trackbar does when the thumb is let go.
  void MoveSlider(int pos) const {
    Query(Control(900), TBM_SETPOS, TRUE, pos);
    Post(WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, pos), 900);
    Post(WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), 900);
  }

  // One click on the up (delta +1) or down (-1) arrow of an up-down control.
  void ClickUpDown(int id, int delta) const {
    RECT rect = {};
    GetClientRect(Control(id), &rect);
    const LPARAM point = MAKELPARAM(rect.right / 2, rect.bottom * (delta > 0 ? 1 : 3) / 4);
    PostMessageW(Control(id), WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(Control(id), WM_LBUTTONUP, 0, point);
  }

  // A part's text of the status bar (id 4000), which writes it into memory of
  // its own process: a buffer is lent there.
  std::string Status(int part) const {
    std::wstring text(LOWORD(Query(Control(4000), SB_GETTEXTLENGTHW, part)) + 1, L'\0');
    const SIZE_T bytes = text.size() * sizeof(wchar_t);
    void* lent = VirtualAllocEx(process.hProcess, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    if (lent == nullptr || Query(Control(4000), SB_GETTEXTW, part, LPARAM(lent)) < 0 ||
        !ReadProcessMemory(process.hProcess, lent, text.data(), bytes, nullptr)) {
      return "<no answer>";  // the buffer stays: the bar may still write there
    }
    VirtualFreeEx(process.hProcess, lent, 0, MEM_RELEASE);
    text.resize(wcsnlen(text.c_str(), text.size()));
    return Narrow(text);
  }

  std::vector<Dialog> Dialogs() const {
    std::vector<Dialog> dialogs;
    for (HWND found : ThreadWindows(L"#32770")) {
      HWND text = GetDlgItem(found, 0xFFFF);
      dialogs.push_back({{found}, WindowText(found), text != nullptr ? WindowText(text) : ""});
    }
    return dialogs;
  }

  // Waits for the first open dialog (with this caption, unless empty).
  bool WaitForDialog(int timeout_ms, Dialog* out, const std::string& caption = "") const {
    return WaitUntil(
        [&] {
          for (const Dialog& dialog : Dialogs()) {
            if (!caption.empty() && dialog.caption != caption) continue;
            if (out != nullptr) *out = dialog;
            return true;
          }
          return false;
        },
        timeout_ms);
  }

  bool NoDialogWithin(int ms) const { return !WaitForDialog(ms, nullptr); }

 private:
  // The shown windows of the program's thread with this class.
  std::vector<HWND> ThreadWindows(const wchar_t* class_name) const {
    std::vector<HWND> windows;
    for (HWND found = nullptr; (found = FindWindowExW(nullptr, found, class_name, nullptr));) {
      if (GetWindowThreadProcessId(found, nullptr) == process.dwThreadId &&
          IsWindowVisible(found)) {
        windows.push_back(found);
      }
    }
    return windows;
  }
};

}  // namespace e2e
