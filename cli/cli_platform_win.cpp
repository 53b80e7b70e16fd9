// The client's system services on Windows.
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <atomic>

#include "cli/cli_platform.h"
#include "link/port_enumeration_win.h"

namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  // A second Ctrl+C goes to the default handler, which ends the process.
  if (interrupted.exchange(true)) return FALSE;
  return TRUE;
}

}  // namespace

void PrepareProcess() {
  SetConsoleOutputCP(CP_UTF8);
  // Sleep(10) otherwise lasts a whole 15.6 ms scheduler tick.
  timeBeginPeriod(1);
}

void WatchForInterrupts() {
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool Interrupted() {
  return interrupted;
}

bool LinksAreComPorts() {
  return true;
}

std::vector<SerialPortInfo> ListSerialPorts() {
  std::vector<SerialPortInfo> list;
  for (const std::string& name : EnumeratePortNames()) list.push_back({name, "", "", "", ""});
  return list;
}
