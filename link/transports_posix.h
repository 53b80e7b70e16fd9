// The POSIX byte pipes: a serial device (a USB adapter, or a pty) and a TCP
// connection. Free of platform headers so that any file can include it.
#pragma once
#include <cstdint>
#include <string>

constexpr uint32_t kTcpConnectTimeoutMs = 3000;

// Each opens its pipe and installs it as the link's current transport: 0, or
// -1 with the system's reason in *reason and nothing installed. The link is
// ended with CloseTransport (or Disconnect).
int OpenSerialLink(const char* device_path, std::string* reason);
int OpenTcpLink(const char* host, uint16_t port, std::string* reason);

// Sleeps until the current link has bytes to read or ms have passed: the
// link's wait between two looks at what has arrived.
void WaitForLinkInput(uint32_t ms);
