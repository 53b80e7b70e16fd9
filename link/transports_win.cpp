#include "link/transports_win.h"

// clang-format off
#include "link/tcp_transport_win.h"  // first: it brings winsock2.h ahead of windows.h
#include "link/serial_transport_win.h"
// clang-format on
#include "link/link_frame.h"

namespace {

// Each transport keeps its one record itself, so no context is needed.
const LinkTransport kSerialLink = {
    [](void*, uint8_t* destination) { return DrainSerial(destination); },
    [](void*, const uint8_t* bytes, int count) { return WriteSerial(bytes, count); },
    [](void*) { CloseSerial(); },
    nullptr,
};

const LinkTransport kTcpLink = {
    [](void*, uint8_t* destination) { return DrainTcp(destination); },
    [](void*, const uint8_t* bytes, int count) { return WriteTcp(bytes, count); },
    [](void*) { CloseTcp(); },
    nullptr,
};

}  // namespace

// Installed before the open so that the close after a failed open frees the record.
int OpenSerialLink(const char* com_port) {
  InstallTransport(kSerialLink);
  return OpenSerial(com_port);
}

int OpenTcpLink(uint32_t ip_address, uint32_t tcp_port) {
  InstallTransport(kTcpLink);
  return OpenTcp(ip_address, tcp_port);
}
