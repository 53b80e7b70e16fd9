#include "link/transports.h"

// clang-format off
#include "link/tcp_transport_win.h"  // first: it brings winsock2.h ahead of windows.h
#include "link/serial_transport_win.h"
// clang-format on
#include "link/link_session.h"

int OpenLink(LinkSession* session, const LinkAddress& address, std::string* reason) {
  if (address.tcp) {
    TcpTransport* tcp =
        OpenTcp(address.host.c_str(), address.port, address.tcp_no_delay, session->events, reason);
    if (tcp == nullptr) return -1;
    InstallTransport(session, {DrainTcp, WriteTcp, CloseTcp, nullptr, tcp});
    return 0;
  }
  SerialTransport* serial = OpenSerial(address.device.c_str(), session->events, reason);
  if (serial == nullptr) return -1;
  InstallTransport(session, {DrainSerial, WriteSerial, CloseSerial, nullptr, serial});
  return 0;
}
