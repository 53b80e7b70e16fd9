// On its own, so that a test of the client can stand in for it.
#include "link/fd_link_posix.h"
#include "link/transports.h"

int OpenLink(LinkSession* session, const LinkAddress& address, std::string* reason) {
  if (address.tcp) return OpenTcpConnection(session, address.host.c_str(), address.port, reason);
  return OpenSerialDevice(session, address.device.c_str(), reason);
}
