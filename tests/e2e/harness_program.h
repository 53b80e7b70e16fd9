// Starting, watching and ending the real rv-sola62.exe from this separate
// process, what the runner script prepared for it, and its config.ini.
#pragma once
#include <windows.h>

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

inline uint64_t NowMs() {
  return GetTickCount64();
}

inline bool WaitUntil(const std::function<bool()>& condition, int timeout_ms = kWaitTimeoutMs) {
  for (const uint64_t end = NowMs() + timeout_ms; !condition(); Sleep(10)) {
    if (NowMs() >= end) return false;
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

// ---- What the runner script prepared (environment; "" when unset) ----
inline std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}
inline const std::wstring kProgramPath = WindowsPath(Env("RV_E2E_PROGRAM"));
inline const int kSimulatorTcpPort = std::atoi(Env("RV_E2E_SIM_PORT").c_str());  // 0: none
inline const std::string kSimulatorComPort = Env("RV_E2E_SIM_COM");  // the simulator's pty
// A second simulator's pty, which closes after five frames.
inline const std::string kVanishingComPort = Env("RV_E2E_GONE_COM");

// ---- config.ini texts ----
// A complete [IF] section aimed at 127.0.0.1:port (connection type 1).
inline std::string TcpConfig(int port) {
  return "[IF]\r\ntype=1\r\ncom=COM1\r\nip=2130706433\r\nport=" + std::to_string(port) + "\r\n";
}

// A complete [IF] section for the serial port (connection type 0).
inline std::string SerialConfig(const std::string& com_port) {
  return "[IF]\r\ntype=0\r\ncom=" + com_port + "\r\nip=2130706433\r\nport=10101\r\n";
}

// The value of key in [section] of an ini text; "<missing>" when absent.
inline std::string IniValue(const std::string& ini_text, const std::string& section,
                            const std::string& key) {
  std::smatch match;
  const std::regex pattern("\\[" + section + "\\][^\\[]*\\n" + key + "=([^\\r\\n]*)");
  return std::regex_search(ini_text, match, pattern) ? match[1].str() : "<missing>";
}

// ---- The program ----
struct ProgramRun {
  std::wstring dir;  // its current directory
  PROCESS_INFORMATION process = {};
  HWND window = nullptr;  // the "MYMAIN" window
  ProgramRun() = default;
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;
  ~ProgramRun();  // ends the process if it still runs
};

// The windows of the program's thread with this class.
inline std::vector<HWND> ThreadWindows(const ProgramRun& run, const wchar_t* class_name) {
  std::vector<HWND> windows;
  EnumThreadWindows(
      run.process.dwThreadId,
      [](HWND window, LPARAM found) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  std::erase_if(windows, [&](HWND window) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    return !IsWindowVisible(window) || lstrcmpW(name, class_name) != 0;
  });
  return windows;
}

inline void KillProgram(ProgramRun& run) {
  if (run.process.hProcess == nullptr) return;
  TerminateProcess(run.process.hProcess, 1);  // our own child only; nothing once it has ended
  WaitForSingleObject(run.process.hProcess, kWaitTimeoutMs);
  CloseHandle(run.process.hProcess);
  CloseHandle(run.process.hThread);
  run.process = {};
  run.window = nullptr;
}

inline ProgramRun::~ProgramRun() {
  KillProgram(*this);
}

// Starts the program in dir (to start again where a run left its file) and
// waits for its window; false when it does not appear in time.
inline bool StartProgramIn(ProgramRun& run, const std::wstring& dir, std::string* error = nullptr) {
  KillProgram(run);
  run.dir = dir;
  std::wstring command_line = L"\"" + kProgramPath + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessW(kProgramPath.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, dir.c_str(), &startup, &run.process)) {
    if (error != nullptr) *error = "CreateProcessW failed: " + std::to_string(GetLastError());
    return false;
  }
  WaitUntil(
      [&] {
        const std::vector<HWND> windows = ThreadWindows(run, L"MYMAIN");
        run.window = windows.empty() ? nullptr : windows[0];
        return run.window != nullptr ||
               WaitForSingleObject(run.process.hProcess, 0) == WAIT_OBJECT_0;
      },
      kStartTimeoutMs);
  // Let the window finish its first paint and timers before the test acts.
  WaitForInputIdle(run.process.hProcess, kWaitTimeoutMs);
  if (run.window == nullptr && error != nullptr) *error = "no MYMAIN window within the start bound";
  return run.window != nullptr;
}

// Same in a fresh, empty directory under the run's temp folder, with
// config_text as its "config.ini" unless null.
inline bool StartProgram(ProgramRun& run, const char* config_text, std::string* error = nullptr) {
  static int counter = 0;
  std::filesystem::path dir = WindowsPath(Env("RV_E2E_TEMP"));
  if (dir.empty()) dir = std::filesystem::temp_directory_path();
  dir /= "run-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  std::error_code failed;
  if (!std::filesystem::create_directories(dir, failed)) return false;
  if (config_text != nullptr) std::ofstream(dir / "config.ini", std::ios::binary) << config_text;
  return StartProgramIn(run, dir.wstring(), error);
}

inline bool WaitForExit(ProgramRun& run, int timeout_ms, DWORD* exit_code) {
  if (run.process.hProcess == nullptr ||
      WaitForSingleObject(run.process.hProcess, timeout_ms) != WAIT_OBJECT_0) {
    return false;
  }
  GetExitCodeProcess(run.process.hProcess, exit_code);
  KillProgram(run);
  return true;
}

// Its config.ini, as text ("" when missing).
inline std::string ConfigText(const ProgramRun& run) {
  std::ifstream file(std::filesystem::path(run.dir) / "config.ini", std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace e2e
