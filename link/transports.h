// Opening a link by its address, the same way on every platform.
#pragma once
#include <cstdint>
#include <string>

#include "link/link_address.h"

struct LinkSession;

constexpr uint32_t kTcpConnectTimeoutMs = 3000;

// Opens the serial device or the TCP connection and installs it as the
// session's transport: 0, or -1 with a one-line reason that includes the
// system's own text, and nothing installed. The link is ended with
// CloseTransport or Disconnect.
int OpenLink(LinkSession* session, const LinkAddress& address, std::string* reason);
