// One open file descriptor as a session's transport. Reads take what the
// kernel holds, at most one drain's worth, so nothing is ever dropped here:
// the rest waits in the kernel (and behind flow control) for the next drain.
#pragma once
#include <cstdint>
#include <string>

struct LinkSession;

// Installs fd, which is non-blocking, as the session's transport; the close
// releases it.
int InstallFdLink(LinkSession* session, int fd, bool is_socket, std::string* reason);

// The text of an errno value, for the reasons of failed opens.
std::string SystemReason(int error);

int OpenSerialDevice(LinkSession* session, const char* device_path, std::string* reason);
int OpenTcpConnection(LinkSession* session, const char* host, uint16_t port, std::string* reason);
