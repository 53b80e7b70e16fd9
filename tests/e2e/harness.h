// End-to-end harness: drives the real rv-sola62.exe from this separate process
// as a user would, and plays the instrument on loopback TCP.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/harness_fake.h"

namespace e2e {

// Every wait in the harness is bounded by one of these.
constexpr int kStartTimeoutMs = 15000;
constexpr int kWaitTimeoutMs = 8000;

// ---- What the runner script prepared (environment) ----
std::wstring ProgramPath();      // RV_E2E_PROGRAM, a Windows path
int SimulatorTcpPort();          // RV_E2E_SIM_PORT, 0 when no simulator runs
std::string SimulatorComPort();  // RV_E2E_SIM_COM: the simulator's pty, "" without it
std::string VanishingComPort();  // RV_E2E_GONE_COM: a simulator pty that closes after 5 frames

// A path handed over from Linux, as the program sees it (the root is drive Z:).
std::wstring WindowsPath(const std::string& unix_or_windows_path);
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& text);

// ---- config.ini texts and files ----
// A complete [IF] section aimed at 127.0.0.1:port (connection type 1).
std::string TcpConfig(int port);
// A complete [IF] section for the serial port (connection type 0).
std::string SerialConfig(const std::string& com_port);
std::string ReadTextFile(const std::wstring& path);  // "" when missing
// The value of key in [section] of an ini text; "<missing>" when absent.
std::string IniValue(const std::string& ini_text, const std::string& section,
                     const std::string& key);

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

// Makes a fresh directory, writes config_text as its "config.ini" unless null,
// starts the program there and waits for its window. False (with the reason in
// *error) when the window does not appear in time.
bool StartProgram(ProgramRun& run, const char* config_text, std::string* error = nullptr);
// Same, in an existing directory (to start again where a run left its file).
bool StartProgramIn(ProgramRun& run, const std::wstring& dir, std::string* error = nullptr);
bool WaitForExit(ProgramRun& run, int timeout_ms, DWORD* exit_code);
void KillProgram(ProgramRun& run);
std::string ConfigText(const ProgramRun& run);  // its config.ini, as text

// ---- Controls of the main window (or of a dialog: pass its window) ----
HWND Control(HWND parent, int id);
HWND Control(const ProgramRun& run, int id);
std::string Text(HWND window);  // UTF-8
std::string Text(const ProgramRun& run, int id);
// The texts of every child with this id (some label ids are used on more than one page).
std::vector<std::string> Texts(const ProgramRun& run, int id);
bool IsEnabled(const ProgramRun& run, int id);
bool IsVisible(HWND control);  // its own style bit
bool IsVisible(const ProgramRun& run, int id);
int CheckState(const ProgramRun& run, int id);  // BST_*
RECT WindowRect(HWND window);
// Posts WM_COMMAND(id, BN_CLICKED) to the parent: never waits, so a click that
// opens a message box or dialog cannot hang the test.
void Click(HWND parent, int id);
void Click(const ProgramRun& run, int id);
// What an auto radio button or check box does on a click: its own check state
// first, then the command to the window.
void Press(const ProgramRun& run, int id, bool check);
void MenuCommand(const ProgramRun& run, int id);  // 100 exit, 101 about
void CloseBox(HWND window);                       // the caption's close button
bool SetText(HWND control, const std::string& utf8);
bool SetText(const ProgramRun& run, int id, const std::string& utf8);
// Selects a tab as the user's arrow keys would: the tab control itself then
// sends its TCN_SELCHANGE notification inside the program.
bool SelectTab(const ProgramRun& run, int index);
int SelectedTab(const ProgramRun& run);
// Moves the slider (id 900) to pos and reports it as the control would.
bool MoveSlider(const ProgramRun& run, int pos);
int SliderPos(const ProgramRun& run);
// One click on the up (delta +1) or down (-1) arrow of an up-down control.
void ClickUpDown(const ProgramRun& run, int id, int delta);
// Combo box items and selection; SelectComboItem also notifies the parent (CBN_SELCHANGE).
std::vector<std::string> ComboItems(HWND combo);
int ComboSelection(HWND combo);
bool SelectComboItem(HWND parent, int id, int index);
// Status bar (id 4000) part text.
std::string StatusText(const ProgramRun& run, int part);
// Returns once the program's thread has handled everything posted so far
// (or after the wait bound).
bool Sync(const ProgramRun& run, int timeout_ms = kWaitTimeoutMs);

// ---- Message boxes and dialogs (#32770 windows of the program's thread) ----
struct DialogInfo {
  HWND window = nullptr;
  std::string caption;
  std::string text;  // the message box's static 0xFFFF, "" for other dialogs
};
std::vector<DialogInfo> OpenDialogs(const ProgramRun& run);
// The first open one (with this caption, unless empty).
bool WaitForDialog(const ProgramRun& run, int timeout_ms, DialogInfo* out,
                   const std::string& caption = "");
void DismissDialog(const DialogInfo& dialog, int button = IDOK);
bool WaitForDialogGone(const DialogInfo& dialog, int timeout_ms = kWaitTimeoutMs);
// True when no dialog of the program appears within ms.
bool NoDialogWithin(const ProgramRun& run, int ms);

// ---- Timing ----
bool WaitUntil(const std::function<bool()>& condition, int timeout_ms = kWaitTimeoutMs);
uint64_t NowMs();

}  // namespace e2e
