#include "link/transports_win.h"

// clang-format off
#include "link/tcp_transport_win.h"  // first: it brings winsock2.h ahead of windows.h
#include "link/serial_transport_win.h"
// clang-format on
#include "link/link_frame.h"

void InstallTransports() {
  link_transports[0] = {DrainSerial, WriteSerial, CloseSerial};
  link_transports[1] = {DrainTcp, WriteTcp, CloseTcp};
}
