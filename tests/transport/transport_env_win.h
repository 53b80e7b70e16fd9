// What the transport tests share: the simulator's addresses from the
// environment, counting threads and handles, and a loopback peer of our own.
#pragma once
// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Empty when the runner script did not set it.
std::string EnvText(const char* name);
int EnvPort(const char* name);  // 0 when unset

// Puts the link's run-wide records back to a fresh start, with no transport installed.
void ResetLink();
// Where the next open goes: a COM port, or a port on 127.0.0.1.
void UseSerial(const std::string& com_port);
void UseTcp(int port);
int OpenChosenSerial();  // the transport alone, as OpenSerial
int OpenChosenTcp();
int OpenChosenLink(bool tcp);  // installed as the link's transport

bool WaitUntil(const std::function<bool()>& condition, int timeout_ms);
std::vector<uint8_t> DrainUntil(int (*drain)(uint8_t*), size_t wanted, int timeout_ms);
std::vector<uint8_t> Pattern(size_t count, int seed);

int CountOwnThreads();
DWORD CountOwnHandles();
// Calls close() and tells whether the thread had ended by the time it returned.
bool CloseEndsThread(HANDLE thread, void (*close)());
DWORD ThreadExitCode(HANDLE thread, int timeout_ms);  // STILL_ACTIVE when it runs on

// A listening socket on 127.0.0.1 with a port the system picked.
struct LoopbackListener {
  SOCKET socket = INVALID_SOCKET;
  int port = 0;
};
bool Listen(LoopbackListener* listener, int backlog);
void CloseSocket(SOCKET* socket);
// A port on 127.0.0.1 where nobody listens (bound once, then released).
int UnusedPort();
bool SendAll(SOCKET socket, const std::vector<uint8_t>& bytes);
