// One open file descriptor as the link's transport. Reads take what the
// kernel holds, at most one drain's worth, so nothing is ever dropped here:
// the rest waits in the kernel (and behind flow control) for the next drain.
#pragma once
#include <string>

// Installs fd, which is non-blocking, as the current transport; the close
// releases it.
void InstallFdLink(int fd, bool is_socket);

// The text of an errno value, for the reasons of failed opens.
std::string SystemReason(int error);
