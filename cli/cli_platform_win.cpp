// The client's system services on Windows.
// clang-format off
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <ws2tcpip.h>
#include <windows.h>
// clang-format on
#include <mmsystem.h>

#include <atomic>

#include "cli/cli_platform.h"
#include "link/transports_win.h"
#include "settings/port_enumeration_win.h"
#include "ui/wide_text_win.h"

namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  // A second Ctrl+C goes to the default handler, which ends the process.
  if (interrupted.exchange(true)) return FALSE;
  return TRUE;
}

std::string SystemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 ? Narrow(text) : "system error " + std::to_string(error);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == '.' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

// The link's TCP transport takes an IPv4 address; names are looked up here.
bool ResolveHost(const std::string& host, uint32_t* address, std::string* reason) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    *reason = "the socket library did not start";
    return false;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int lookup = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (lookup == 0 && found != nullptr) {
    *address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
  } else {
    *reason = "cannot resolve " + host + ": " + SystemMessage(static_cast<DWORD>(lookup));
  }
  WSACleanup();
  return lookup == 0;
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

int OpenLink(const LinkAddress& address, std::string* reason) {
  if (!address.tcp) {
    if (OpenSerialLink(address.device.c_str()) == 0) return 0;
    *reason = SystemMessage(GetLastError());
    return -1;
  }
  uint32_t ip = 0;
  if (!ResolveHost(address.host, &ip, reason)) return -1;
  if (OpenTcpLink(ip, address.port) == 0) return 0;
  // The transport keeps no reason of its own.
  *reason = "refused, unreachable, or no connection within 3000 ms";
  return -1;
}

std::vector<SerialPortInfo> ListSerialPorts() {
  std::vector<SerialPortInfo> list;
  for (const std::string& name : EnumeratePortNames()) list.push_back({name, "", "", "", ""});
  return list;
}
