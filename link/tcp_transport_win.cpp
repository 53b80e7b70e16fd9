#include "link/tcp_transport_win.h"

#include <ws2tcpip.h>

#include <new>

#include "link/link_session.h"
#include "link/system_text_win.h"

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
    if (got > 0) {
      held.offset = 0;
      held.count = got;
      continue;
    }
    // 0: the peer closed; an error other than would-block: the connection broke.
    if (got == 0 || WSAGetLastError() != WSAEWOULDBLOCK) {
      MarkReaderEnded(reader);
      return got == 0 ? 2 : 1;
    }
    // The failed recv re-armed FD_READ, so bytes that come from now on set the event.
    if (WaitForMultipleObjects(2, wake, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return 0;
    WSANETWORKEVENTS events{};
    WSAEnumNetworkEvents(transport->socket, transport->socket_event, &events);
  }
  return 0;
}

// The connect of one address within kConnectTimeoutMs: 0, or the error.
int ConnectSocket(TcpTransport* transport, WSAEVENT event, const sockaddr_in& address) {
  if (connect(transport->socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
          SOCKET_ERROR &&
      WSAGetLastError() != WSAEWOULDBLOCK) {
    return WSAGetLastError();
  }
  DWORD waited = WSAWaitForMultipleEvents(1, &event, FALSE, kConnectTimeoutMs, FALSE);
  if (waited != WSA_WAIT_EVENT_0) return WSAETIMEDOUT;
  WSANETWORKEVENTS events{};
  if (WSAEnumNetworkEvents(transport->socket, event, &events) == SOCKET_ERROR) {
    return WSAGetLastError();
  }
  if (!(events.lNetworkEvents & FD_CONNECT)) return WSAETIMEDOUT;
  return events.iErrorCode[FD_CONNECT_BIT];  // refused or unreachable, or 0
}

// The first IPv4 address of host, or the reason there is none.
bool Resolve(const char* host, uint16_t port, sockaddr_in* address, std::string* reason) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int lookup = getaddrinfo(host, nullptr, &hints, &found);
  if (lookup != 0 || found == nullptr) {
    *reason = std::string("cannot resolve ") + host + ": " + SystemText(lookup);
    return false;
  }
  *address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  address->sin_port = htons(port);
  freeaddrinfo(found);
  return true;
}

// Steps of the open after the record exists: 0, or a Winsock error code.
int Connect(TcpTransport* transport, const char* host, uint16_t port, bool no_delay,
            std::string* reason) {
  if (!PrepareReader(&transport->reader)) return static_cast<int>(GetLastError());
  const int started = WSAStartup(MAKEWORD(2, 2), &transport->socket_data);
  if (started != 0) return started;
  transport->library_started = true;
  sockaddr_in address{};
  if (!Resolve(host, port, &address, reason)) return -1;
  transport->socket = socket(AF_INET, SOCK_STREAM, 0);
  if (transport->socket == INVALID_SOCKET) return WSAGetLastError();
  WSAEVENT event = WSACreateEvent();
  if (event == WSA_INVALID_EVENT) return WSAGetLastError();
  int error = 0;
  if (WSAEventSelect(transport->socket, event, FD_CONNECT) == SOCKET_ERROR) {
    error = WSAGetLastError();
  } else {
    error = ConnectSocket(transport, event, address);
    // The event has done its work once the connect is decided; closing it
    // here keeps every open from leaking a handle.
    WSAEventSelect(transport->socket, event, 0);
  }
  WSACloseEvent(event);
  if (error != 0) return error;

  if (no_delay) {
    BOOL on = TRUE;
    setsockopt(transport->socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
               sizeof on);
  }
  transport->socket_event = WSACreateEvent();
  if (transport->socket_event == WSA_INVALID_EVENT) return WSAGetLastError();
  if (WSAEventSelect(transport->socket, transport->socket_event, FD_READ | FD_CLOSE) ==
      SOCKET_ERROR) {
    return WSAGetLastError();
  }
  if (!StartReader(&transport->reader, TcpReader, transport)) {
    return static_cast<int>(GetLastError());
  }
  return 0;
}

}  // namespace

TcpTransport* OpenTcp(const char* host, uint16_t port, bool no_delay, const LinkEvents& events,
                      std::string* reason) {
  TcpTransport* transport = new (std::nothrow) TcpTransport{};
  if (!transport) {
    *reason = SystemText(ERROR_OUTOFMEMORY);
    return nullptr;
  }
  transport->socket = INVALID_SOCKET;
  transport->socket_event = WSA_INVALID_EVENT;
  transport->reader.bytes_arrived = events.bytes_arrived;
  transport->reader.arrival_context = events.context;
  const int error = Connect(transport, host, port, no_delay, reason);
  if (error == 0) return transport;
  // The reason first: the clean-up may change the system's last error.
  if (error == WSAETIMEDOUT) {
    *reason = "no connection within " + std::to_string(kConnectTimeoutMs) + " ms";
  } else if (error > 0) {
    *reason = SystemText(static_cast<DWORD>(error));
  }
  CloseTcp(transport);
  return nullptr;
}

void CloseTcp(void* context) {
  TcpTransport* transport = static_cast<TcpTransport*>(context);
  if (!transport) return;
  // The reader must be gone before the socket it reads is closed.
  StopReader(&transport->reader);
  if (transport->socket != INVALID_SOCKET) closesocket(transport->socket);
  if (transport->socket_event != WSA_INVALID_EVENT) WSACloseEvent(transport->socket_event);
  if (transport->library_started) WSACleanup();
  delete transport;
}

int DrainTcp(void* context, uint8_t* destination) {
  return DrainReader(&static_cast<TcpTransport*>(context)->reader, destination);
}

int WriteTcp(void* context, const uint8_t* bytes, int count) {
  TcpTransport* transport = static_cast<TcpTransport*>(context);
  if (transport->socket == INVALID_SOCKET) return -1;
  int done = 0;
  while (done < count) {
    const int sent =
        send(transport->socket, reinterpret_cast<const char*>(bytes + done), count - done, 0);
    // Would-block counts as a failure too: the rest of the frame is abandoned.
    if (sent == SOCKET_ERROR || sent == 0) return -1;
    done += sent;
  }
  return 0;
}
