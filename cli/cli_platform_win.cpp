// The client's system services on Windows.
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <atomic>

#include "cli/cli_platform.h"
#include "link/port_enumeration_win.h"

namespace {

std::atomic<int> interrupting_signal{0};
std::atomic<bool> link_open{false};
int interrupt_exit_code = -1;

UINT InterruptExitCode() {
  return static_cast<UINT>(interrupt_exit_code >= 0 ? interrupt_exit_code
                                                    : 128 + interrupting_signal.load());
}

// Runs on a thread of its own, which the system makes for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  // Ctrl+C and Ctrl+Break count as SIGINT, a closed console as SIGHUP.
  int signal_number = 0;
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) signal_number = 2;
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    signal_number = 1;
  }
  if (signal_number == 0) return FALSE;
  // A second one goes to the default handler, which ends the process.
  int none = 0;
  if (!interrupting_signal.compare_exchange_strong(none, signal_number)) return FALSE;
  if (!link_open) ExitProcess(InterruptExitCode());
  // The system ends the process when this returns from a close event: the
  // main thread's disconnect is given its time first.
  if (signal_number == 1) Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void PrepareProcess() {
  SetConsoleOutputCP(CP_UTF8);
  // Sleep(10) otherwise lasts a whole 15.6 ms scheduler tick.
  timeBeginPeriod(1);
}

void WatchForInterrupts(int exit_code) {
  interrupt_exit_code = exit_code;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool Interrupted() {
  return interrupting_signal != 0;
}

int InterruptingSignal() {
  return interrupting_signal;
}

void SetLinkOpen(bool open) {
  link_open = open;
  if (!open && interrupting_signal != 0) ExitProcess(InterruptExitCode());
}

bool LinksAreComPorts() {
  return true;
}

std::vector<SerialPortInfo> ListSerialPorts() {
  std::vector<SerialPortInfo> list;
  for (const std::string& name : EnumeratePortNames()) list.push_back({name, "", "", "", ""});
  return list;
}
