#include "link/tcp_transport_win.h"

#include <new>

TcpTransport* tcp_transport = nullptr;
bool tcp_no_delay = false;

namespace {

unsigned __stdcall TcpReader(void* argument) {
  TcpTransport* transport = static_cast<TcpTransport*>(argument);
  ReaderThread* reader = &transport->reader;
  HeldChunk held{};
  const HANDLE wake[] = {reader->stop_event, transport->socket_event};
  // While the ring is full the bytes wait in the socket, and TCP's window
  // holds the instrument back: nothing is dropped.
  while (WaitWhileHeld(reader, &held)) {
    int got = recv(transport->socket, reinterpret_cast<char*>(held.bytes), sizeof held.bytes, 0);
    if (got == 0) return 2;  // the peer closed; nothing more can arrive
    if (got > 0) {
      held.offset = 0;
      held.count = got;
      continue;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) return 1;
    // The failed recv re-armed FD_READ, so bytes that come from now on set the event.
    if (WaitForMultipleObjects(2, wake, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return 0;
    WSANETWORKEVENTS events{};
    WSAEnumNetworkEvents(transport->socket, transport->socket_event, &events);
  }
  return 0;
}

// Steps of the open that run with the connect event selected. The socket is
// non-blocking from the selection on and stays so.
int ConnectSocket(TcpTransport* transport, WSAEVENT event, uint32_t ip_address, uint32_t tcp_port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(tcp_port));
  address.sin_addr.s_addr = htonl(ip_address);
  if (connect(transport->socket, reinterpret_cast<sockaddr*>(&address), sizeof address) ==
          SOCKET_ERROR &&
      WSAGetLastError() != WSAEWOULDBLOCK) {
    return -1;
  }
  DWORD waited = WSAWaitForMultipleEvents(1, &event, FALSE, kConnectTimeoutMs, FALSE);
  if (waited != WSA_WAIT_EVENT_0) return -1;
  WSANETWORKEVENTS events{};
  if (WSAEnumNetworkEvents(transport->socket, event, &events) == SOCKET_ERROR) return -1;
  if (!(events.lNetworkEvents & FD_CONNECT)) return -1;
  if (events.iErrorCode[FD_CONNECT_BIT] != 0) return -1;  // refused or unreachable
  return 0;
}

}  // namespace

int OpenTcp(uint32_t ip_address, uint32_t tcp_port) {
  if (tcp_transport) CloseTcp();
  TcpTransport* transport = new (std::nothrow) TcpTransport{};
  if (!transport) return -1;
  transport->socket = INVALID_SOCKET;
  transport->socket_event = WSA_INVALID_EVENT;
  tcp_transport = transport;
  if (!PrepareReader(&transport->reader)) return -1;

  if (WSAStartup(MAKEWORD(2, 0), &transport->socket_data) != 0) return -1;
  transport->library_started = true;
  transport->socket = socket(AF_INET, SOCK_STREAM, 0);
  if (transport->socket == INVALID_SOCKET) return -1;
  WSAEVENT event = WSACreateEvent();
  if (event == WSA_INVALID_EVENT) return -1;
  if (WSAEventSelect(transport->socket, event, FD_CONNECT) == SOCKET_ERROR) {
    WSACloseEvent(event);
    return -1;
  }
  int result = ConnectSocket(transport, event, ip_address, tcp_port);
  // The event has done its work once the connect is decided; closing it here
  // rather than leaving it to the close keeps every open from leaking a handle.
  WSAEventSelect(transport->socket, event, 0);
  WSACloseEvent(event);
  if (result != 0) return -1;

  if (tcp_no_delay) {
    BOOL on = TRUE;
    setsockopt(transport->socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
               sizeof on);
  }
  transport->socket_event = WSACreateEvent();
  if (transport->socket_event == WSA_INVALID_EVENT) return -1;
  if (WSAEventSelect(transport->socket, transport->socket_event, FD_READ | FD_CLOSE) ==
      SOCKET_ERROR) {
    return -1;
  }
  if (!StartReader(&transport->reader, TcpReader, transport)) return -1;
  transport->connected = true;
  return 0;
}

void CloseTcp() {
  TcpTransport* transport = tcp_transport;
  if (!transport) return;
  // The reader must be gone before the socket it reads is closed.
  StopReader(&transport->reader);
  if (transport->socket != INVALID_SOCKET) closesocket(transport->socket);
  if (transport->socket_event != WSA_INVALID_EVENT) WSACloseEvent(transport->socket_event);
  if (transport->library_started) WSACleanup();
  transport->connected = false;
  tcp_transport = nullptr;
  delete transport;
}

int DrainTcp(uint8_t* destination) {
  TcpTransport* transport = tcp_transport;
  if (!transport || !transport->connected) return 0;
  return DrainReader(&transport->reader, destination);
}

int WriteTcp(const uint8_t* bytes, int count) {
  TcpTransport* transport = tcp_transport;
  if (!transport || transport->socket == INVALID_SOCKET) return -1;
  int done = 0;
  int last = 0;
  while (done < count) {
    last = send(transport->socket, reinterpret_cast<const char*>(bytes + done), count - done, 0);
    // Would-block counts as a failure too: the rest of the frame is abandoned.
    if (last == SOCKET_ERROR || last == 0) return -1;
    done += last;
  }
  return last;
}
