// Starting, watching and ending the program under test.
#include "tests/e2e/harness.h"

namespace e2e {

namespace {

struct WindowSearch {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM param) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t class_name[32] = {};
  GetClassNameW(window, class_name, 32);
  if (owner == search->process_id && lstrcmpW(class_name, L"MYMAIN") == 0 &&
      IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

void CloseHandles(ProgramRun& run) {
  if (run.process.hProcess != nullptr) CloseHandle(run.process.hProcess);
  if (run.process.hThread != nullptr) CloseHandle(run.process.hThread);
  run.process = {};
  run.window = nullptr;
}

}  // namespace

ProgramRun::~ProgramRun() {
  KillProgram(*this);
}

std::wstring ConfigPath(const ProgramRun& run) {
  return run.dir + L"\\config.ini";
}

std::string ConfigText(const ProgramRun& run) {
  return ReadTextFile(ConfigPath(run));
}

bool StartProgram(ProgramRun& run, const char* config_text, std::string* error) {
  const std::wstring dir = MakeWorkDir();
  if (dir.empty()) {
    if (error != nullptr) *error = "cannot make a working directory";
    return false;
  }
  if (config_text != nullptr && !WriteTextFile(dir + L"\\config.ini", config_text)) {
    if (error != nullptr) *error = "cannot write config.ini";
    return false;
  }
  return StartProgramIn(run, dir, error);
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
  WindowSearch search = {run.process.dwProcessId, nullptr};
  const bool shown = WaitUntil(
      [&] {
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr ||
               WaitForSingleObject(run.process.hProcess, 0) == WAIT_OBJECT_0;
      },
      kStartTimeoutMs);
  run.window = search.found;
  if (run.window == nullptr) {
    DWORD code = 0;
    GetExitCodeProcess(run.process.hProcess, &code);
    if (error != nullptr) {
      *error = shown ? "the program ended without a window, exit code " + std::to_string(code)
                     : "no MYMAIN window within the start bound";
    }
    return false;
  }
  // Let the window finish its first paint and timers before the test acts.
  WaitForInputIdle(run.process.hProcess, kWaitTimeoutMs);
  return true;
}

bool WaitForExit(ProgramRun& run, int timeout_ms, DWORD* exit_code) {
  if (run.process.hProcess == nullptr) return false;
  if (WaitForSingleObject(run.process.hProcess, timeout_ms) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  GetExitCodeProcess(run.process.hProcess, &code);
  if (exit_code != nullptr) *exit_code = code;
  CloseHandles(run);
  return true;
}

void KillProgram(ProgramRun& run) {
  if (run.process.hProcess == nullptr) return;
  if (WaitForSingleObject(run.process.hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(run.process.hProcess, 1);  // our own child only
    WaitForSingleObject(run.process.hProcess, kWaitTimeoutMs);
  }
  CloseHandles(run);
}

}  // namespace e2e
