// The byte pipe over TCP (the instrument's Wi-Fi interface); the PC is the client.
#pragma once
// clang-format off
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>
// clang-format on

#include <cstdint>
#include <string>

#include "link/reader_thread_win.h"

struct LinkEvents;

struct TcpTransport {
  ReaderThread reader;
  WSADATA socket_data;
  bool library_started;   // WSAStartup succeeded, so the close owes a WSACleanup
  SOCKET socket;          // INVALID_SOCKET until created
  WSAEVENT socket_event;  // signalled when bytes or the peer's close arrive
};

constexpr DWORD kConnectTimeoutMs = 3000;

// The connected transport, or null with the reason and nothing left open.
// no_delay sets TCP_NODELAY. Off by default: Nagle holds a frame only while an
// earlier one is unacknowledged, and the instrument's prompt answer carries
// that acknowledgement; against the simulator the round trip measured the
// same either way. The latency bench switches it on to repeat the comparison.
TcpTransport* OpenTcp(const char* host, uint16_t port, bool no_delay, const LinkEvents& events,
                      std::string* reason);
void CloseTcp(void* transport);
int DrainTcp(void* transport, uint8_t* destination);  // at most kRingCapacity bytes; -1 at the end
int WriteTcp(void* transport, const uint8_t* bytes, int count);  // 0, or -1 when it failed
