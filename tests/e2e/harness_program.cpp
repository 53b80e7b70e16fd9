// What the runner prepared, files, and starting, watching and ending the
// program under test with its dialogs.
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e/harness.h"

namespace e2e {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// A fresh, empty directory under the run's temp folder.
std::wstring MakeWorkDir() {
  static std::atomic<int> counter{0};
  std::filesystem::path root = WindowsPath(Env("RV_E2E_TEMP"));
  if (root.empty()) root = std::filesystem::temp_directory_path();
  const std::filesystem::path dir =
      root / ("run-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter));
  std::error_code error;
  return std::filesystem::create_directories(dir, error) ? dir.wstring() : L"";
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

std::wstring ClassName(HWND window) {
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  return name;
}

}  // namespace

std::wstring Widen(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                  wide.data(), static_cast<int>(wide.size())));
  return wide;
}

std::string Narrow(const std::wstring& text) {
  std::string narrow(text.size() * 3, '\0');
  narrow.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    narrow.data(), static_cast<int>(narrow.size()), nullptr,
                                    nullptr));
  return narrow;
}

std::wstring WindowsPath(const std::string& path) {
  std::wstring wide = Widen(path);
  if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;
  for (wchar_t& c : wide) c = c == L'/' ? L'\\' : c;
  return wide;
}

std::wstring ProgramPath() {
  return WindowsPath(Env("RV_E2E_PROGRAM"));
}

int SimulatorTcpPort() {
  return std::atoi(Env("RV_E2E_SIM_PORT").c_str());
}

std::string SimulatorComPort() {
  return Env("RV_E2E_SIM_COM");
}

std::string VanishingComPort() {
  return Env("RV_E2E_GONE_COM");
}

std::string TcpConfig(int port) {
  // 127.0.0.1 with the first octet in the most significant byte.
  return "[IF]\r\ntype=1\r\ncom=COM1\r\nip=2130706433\r\nport=" + std::to_string(port) + "\r\n";
}

std::string SerialConfig(const std::string& com_port) {
  return "[IF]\r\ntype=0\r\ncom=" + com_port + "\r\nip=2130706433\r\nport=10101\r\n";
}

std::string ReadTextFile(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string IniValue(const std::string& ini_text, const std::string& section,
                     const std::string& key) {
  std::istringstream lines(ini_text);
  bool inside = false;
  for (std::string line; std::getline(lines, line);) {
    line = Trim(line);
    const size_t equals = line.find('=');
    if (!line.empty() && line.front() == '[') {
      inside = line == "[" + section + "]";
    } else if (inside && equals != std::string::npos && Trim(line.substr(0, equals)) == key) {
      return Trim(line.substr(equals + 1));
    }
  }
  return "<missing>";
}

uint64_t NowMs() {
  return GetTickCount64();
}

bool WaitUntil(const std::function<bool()>& condition, int timeout_ms) {
  const uint64_t end = NowMs() + timeout_ms;
  for (;;) {
    if (condition()) return true;
    if (NowMs() >= end) return false;
    Sleep(10);
  }
}

ProgramRun::~ProgramRun() {
  KillProgram(*this);
}

std::string ConfigText(const ProgramRun& run) {
  return ReadTextFile(run.dir + L"\\config.ini");
}

bool StartProgram(ProgramRun& run, const char* config_text, std::string* error) {
  const std::wstring dir = MakeWorkDir();
  if (!dir.empty() && config_text != nullptr) {
    std::ofstream(std::filesystem::path(dir) / "config.ini", std::ios::binary) << config_text;
  }
  if (dir.empty() && error != nullptr) *error = "cannot make a working directory";
  return !dir.empty() && StartProgramIn(run, dir, error);
}

bool StartProgramIn(ProgramRun& run, const std::wstring& dir, std::string* error) {
  KillProgram(run);
  run.dir = dir;
  const std::wstring program = ProgramPath();
  std::wstring command_line = L"\"" + program + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      dir.c_str(), &startup, &run.process)) {
    if (error != nullptr) *error = "CreateProcessW failed: " + std::to_string(GetLastError());
    return false;
  }
  WaitUntil(
      [&] {
        std::vector<HWND> windows;
        EnumThreadWindows(run.process.dwThreadId, CollectWindow,
                          reinterpret_cast<LPARAM>(&windows));
        for (HWND window : windows) {
          if (ClassName(window) == L"MYMAIN" && IsWindowVisible(window)) run.window = window;
        }
        return run.window != nullptr ||
               WaitForSingleObject(run.process.hProcess, 0) == WAIT_OBJECT_0;
      },
      kStartTimeoutMs);
  if (run.window == nullptr && error != nullptr) *error = "no MYMAIN window within the start bound";
  // Let the window finish its first paint and timers before the test acts.
  WaitForInputIdle(run.process.hProcess, kWaitTimeoutMs);
  return run.window != nullptr;
}

bool WaitForExit(ProgramRun& run, int timeout_ms, DWORD* exit_code) {
  if (run.process.hProcess == nullptr ||
      WaitForSingleObject(run.process.hProcess, timeout_ms) != WAIT_OBJECT_0) {
    return false;
  }
  GetExitCodeProcess(run.process.hProcess, exit_code);
  KillProgram(run);
  return true;
}

void KillProgram(ProgramRun& run) {
  if (run.process.hProcess == nullptr) return;
  TerminateProcess(run.process.hProcess, 1);  // our own child only; no-op once it ended
  WaitForSingleObject(run.process.hProcess, kWaitTimeoutMs);
  CloseHandle(run.process.hProcess);
  CloseHandle(run.process.hThread);
  run.process = {};
  run.window = nullptr;
}

std::vector<DialogInfo> OpenDialogs(const ProgramRun& run) {
  std::vector<HWND> windows;
  std::vector<DialogInfo> dialogs;
  if (run.process.dwThreadId == 0) return dialogs;
  EnumThreadWindows(run.process.dwThreadId, CollectWindow, reinterpret_cast<LPARAM>(&windows));
  for (HWND window : windows) {
    if (ClassName(window) != L"#32770" || !IsWindowVisible(window)) continue;
    HWND text = GetDlgItem(window, 0xFFFF);  // a message box's text
    dialogs.push_back({window, Text(window), text != nullptr ? Text(text) : ""});
  }
  return dialogs;
}

bool WaitForDialog(const ProgramRun& run, int timeout_ms, DialogInfo* out,
                   const std::string& caption) {
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

void DismissDialog(const DialogInfo& dialog, int button) {
  Click(dialog.window, button);
}

bool WaitForDialogGone(const DialogInfo& dialog, int timeout_ms) {
  return WaitUntil([&] { return !IsWindow(dialog.window) || !IsWindowVisible(dialog.window); },
                   timeout_ms);
}

bool NoDialogWithin(const ProgramRun& run, int ms) {
  return !WaitForDialog(run, ms, nullptr);
}

}  // namespace e2e
