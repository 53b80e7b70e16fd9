#include "tests/transport/transport_env_win.h"

#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "link/serial_transport_win.h"
#include "link/tcp_transport_win.h"
#include "link/transports_win.h"

std::string EnvText(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

int EnvPort(const char* name) {
  return std::atoi(EnvText(name).c_str());
}

namespace {
std::string chosen_com_port;
int chosen_tcp_port = 0;
}  // namespace

void ResetLink() {
  CloseTransport();
  ResetReceiverState();
  ResetLinkState();
  ResetInstrumentRecords();
  UseDefaultLinkPlatform();
}

void UseSerial(const std::string& com_port) {
  chosen_com_port = com_port;
}

void UseTcp(int port) {
  chosen_tcp_port = port;
}

int OpenChosenSerial() {
  return OpenSerial(chosen_com_port.c_str());
}

int OpenChosenTcp() {
  return OpenTcp(INADDR_LOOPBACK, static_cast<uint32_t>(chosen_tcp_port));
}

int OpenChosenLink(bool tcp) {
  if (tcp) return OpenTcpLink(INADDR_LOOPBACK, static_cast<uint32_t>(chosen_tcp_port));
  return OpenSerialLink(chosen_com_port.c_str());
}

bool WaitUntil(const std::function<bool()>& condition, int timeout_ms) {
  DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > static_cast<DWORD>(timeout_ms)) return false;
    Sleep(5);
  }
  return true;
}

std::vector<uint8_t> DrainUntil(int (*drain)(uint8_t*), size_t wanted, int timeout_ms) {
  std::vector<uint8_t> received;
  uint8_t chunk[1024];
  WaitUntil(
      [&] {
        int n = drain(chunk);
        received.insert(received.end(), chunk, chunk + n);
        return received.size() >= wanted;
      },
      timeout_ms);
  return received;
}

std::vector<uint8_t> Pattern(size_t count, int seed) {
  std::vector<uint8_t> bytes(count);
  uint32_t state = 2463534242u + seed;
  for (uint8_t& b : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b = static_cast<uint8_t>(state);
  }
  return bytes;
}

int CountOwnThreads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

DWORD CountOwnHandles() {
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return count;
}

bool CloseEndsThread(HANDLE thread, void (*close)()) {
  HANDLE copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0);
  close();
  const bool ended = WaitForSingleObject(copy, 0) == WAIT_OBJECT_0;
  CloseHandle(copy);
  return ended;
}

DWORD ThreadExitCode(HANDLE thread, int timeout_ms) {
  DWORD code = STILL_ACTIVE;
  WaitUntil([&] { return GetExitCodeThread(thread, &code) && code != STILL_ACTIVE; }, timeout_ms);
  return code;
}

bool Listen(LoopbackListener* listener, int backlog) {
  static WSADATA data;
  static int started = WSAStartup(MAKEWORD(2, 2), &data);  // once, for the whole run
  if (started != 0) return false;
  listener->socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  if (listener->socket == INVALID_SOCKET ||
      bind(listener->socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener->socket, backlog) != 0 ||
      getsockname(listener->socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return false;
  }
  listener->port = ntohs(address.sin_port);
  return true;
}

void CloseSocket(SOCKET* socket) {
  if (*socket != INVALID_SOCKET) closesocket(*socket);
  *socket = INVALID_SOCKET;
}

int UnusedPort() {
  LoopbackListener probe;
  if (!Listen(&probe, 1)) return 0;
  CloseSocket(&probe.socket);
  return probe.port;
}

bool SendAll(SOCKET socket, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    int n = send(socket, reinterpret_cast<const char*>(bytes.data() + done),
                 static_cast<int>(bytes.size() - done), 0);
    if (n <= 0) return false;
    done += n;
  }
  return true;
}
