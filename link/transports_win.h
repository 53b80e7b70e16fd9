// The two Win32 transports as the window and its tests open them. Free of
// platform headers so that any file can include it.
#pragma once
#include <cstdint>

// Each installs its transport as the link's current one and opens it: 0 on
// success, -1 on failure. After either result the caller ends the link with
// CloseTransport (or Disconnect), which also frees the transport's record.
int OpenSerialLink(const char* com_port);
int OpenTcpLink(uint32_t ip_address, uint32_t tcp_port);
