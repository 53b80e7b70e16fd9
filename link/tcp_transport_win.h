// The byte pipe over TCP (the instrument's Wi-Fi interface); the PC is the client.
#pragma once
// clang-format off
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>
// clang-format on

#include <cstdint>

#include "link/reader_thread_win.h"

struct TcpTransport {
  ReaderThread reader;
  WSADATA socket_data;
  bool library_started;   // WSAStartup succeeded, so the close owes a WSACleanup
  SOCKET socket;          // INVALID_SOCKET until created
  WSAEVENT socket_event;  // signalled when bytes or the peer's close arrive
  bool connected;         // Drain delivers nothing while clear
};

// The one open TCP transport, or null.
extern TcpTransport* tcp_transport;

// Sets TCP_NODELAY on the socket. Off: Nagle holds a frame only while an
// earlier one is unacknowledged, and the instrument's prompt answer carries
// that acknowledgement; against the simulator the round trip measured the
// same either way. The latency bench switches it on to repeat the comparison.
extern bool tcp_no_delay;

constexpr DWORD kConnectTimeoutMs = 3000;

// ip_address has the first octet in its most significant byte. 0, or -1 when
// no connection was made within kConnectTimeoutMs.
int OpenTcp(uint32_t ip_address, uint32_t tcp_port);
void CloseTcp();
int DrainTcp(uint8_t* destination);  // at most kRingCapacity bytes
int WriteTcp(const uint8_t* bytes, int count);
