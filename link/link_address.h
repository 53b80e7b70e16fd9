// The LINK of --connect: a COM port (Windows), a device path (elsewhere), or
// tcp://HOST[:PORT].
#pragma once
#include <cstdint>
#include <string>

constexpr uint16_t kDefaultLinkTcpPort = 10101;

struct LinkAddress {
  bool tcp = false;
  std::string device;  // serial: "COM3" or "/dev/ttyUSB0"
  std::string host;    // tcp
  uint16_t port = kDefaultLinkTcpPort;
  // Windows only: TCP_NODELAY, for the latency bench's comparison. The POSIX
  // link always sets it.
  bool tcp_no_delay = false;
};

// com_ports: the forms of the Windows build. False with the message in *error.
bool ParseLinkAddress(const std::string& text, bool com_ports, LinkAddress* out,
                      std::string* error);

std::string LinkAddressText(const LinkAddress& address);  // as given, with the port
