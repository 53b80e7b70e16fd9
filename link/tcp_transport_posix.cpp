// The byte pipe over TCP; the PC is the client.
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "link/fd_link_posix.h"
#include "link/transports.h"

namespace {

using Clock = std::chrono::steady_clock;

// One address, within what is left of the connect limit: the socket, or -1
// with the reason.
int ConnectTo(const addrinfo* address, Clock::time_point deadline, std::string* reason) {
  int fd = socket(address->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *reason = SystemReason(errno);
    return -1;
  }
  int error = 0;
  if (connect(fd, address->ai_addr, address->ai_addrlen) != 0) {
    error = errno;
    if (error == EINPROGRESS) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd done = {fd, POLLOUT, 0};
      int ready = left.count() > 0 ? poll(&done, 1, static_cast<int>(left.count())) : 0;
      socklen_t length = sizeof error;
      if (ready <= 0) {
        error = ETIMEDOUT;
      } else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        error = errno;
      }
    }
  }
  if (error != 0) {
    close(fd);
    *reason = error == ETIMEDOUT
                  ? "no connection within " + std::to_string(kTcpConnectTimeoutMs) + " ms"
                  : SystemReason(error);
    return -1;
  }
  // Frames are small and each waits for its answer; Nagle would only hold them.
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

}  // namespace

int OpenTcpConnection(LinkSession* session, const char* host, uint16_t port, std::string* reason) {
  // IPv4 and IPv6 alike, each address in the order the resolver gives.
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  int lookup = getaddrinfo(host, std::to_string(port).c_str(), &hints, &found);
  if (lookup != 0) {
    *reason = std::string("cannot resolve ") + host + ": " + gai_strerror(lookup);
    return -1;
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kTcpConnectTimeoutMs);
  int fd = -1;
  for (addrinfo* at = found; at != nullptr && fd < 0; at = at->ai_next) {
    fd = ConnectTo(at, deadline, reason);
  }
  freeaddrinfo(found);
  if (fd < 0) return -1;
  return InstallFdLink(session, fd, true, reason);
}
