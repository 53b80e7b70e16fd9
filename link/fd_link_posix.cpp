#include "link/fd_link_posix.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

#include "link/link_frame.h"
#include "link/link_session.h"

namespace {

struct FdLink {
  int fd = -1;
  bool is_socket = false;
  bool ended = false;  // the peer closed or the device went away: nothing more can come
};

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

int Drain(void* context, uint8_t* destination) {
  FdLink* link = static_cast<FdLink*>(context);
  if (link->fd < 0 || link->ended) return -1;
  ssize_t got = link->is_socket ? recv(link->fd, destination, kMaxDrain, 0)
                                : read(link->fd, destination, kMaxDrain);
  if (got > 0) return static_cast<int>(got);
  // 0 is the end of the stream (a hung-up tty reads 0 too); an unplugged
  // adapter or a closed pty gives EIO.
  if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) link->ended = true;
  return link->ended ? -1 : 0;
}

// As the Win32 serial port's write time-outs allow: 1000 ms plus 10 ms a
// byte. A port held back by CTS for longer gives up the frame, and the
// command waiting for its answer times out.
int Write(void* context, const uint8_t* bytes, int count) {
  FdLink* link = static_cast<FdLink*>(context);
  if (link->fd < 0 || count <= 0) return -1;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(1000 + 10 * count);
  int done = 0;
  while (done < count) {
    const size_t left = static_cast<size_t>(count - done);
    ssize_t sent = link->is_socket ? send(link->fd, bytes + done, left, MSG_NOSIGNAL)
                                   : write(link->fd, bytes + done, left);
    if (sent > 0) {
      done += static_cast<int>(sent);
      continue;
    }
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
    pollfd writable = {link->fd, POLLOUT, 0};
    const int wait = MillisecondsLeft(deadline);
    if (wait == 0) return -1;
    poll(&writable, 1, wait);
  }
  return 0;
}

void Close(void* context) {
  FdLink* link = static_cast<FdLink*>(context);
  if (link->fd < 0) return;
  // The exclusive mark stays on a tty that someone else still holds open
  // (the simulator keeps its pty's slave); leave it as it was found.
  if (!link->is_socket) ioctl(link->fd, TIOCNXCL);
  close(link->fd);
  delete link;
}

// Sleeps until the link has bytes to read or ms have passed: the exchange's
// wait between two looks at what has arrived.
void WaitInput(void* context, uint32_t ms) {
  const FdLink* link = static_cast<const FdLink*>(context);
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(ms);
  if (link->fd >= 0 && !link->ended) {
    pollfd readable = {link->fd, POLLIN, 0};
    if (poll(&readable, 1, static_cast<int>(ms)) > 0 && (readable.revents & POLLIN)) return;
    // A hang-up wakes poll at once without data; the rest of the step is slept
    // so that a dead link is not spun on.
  }
  std::this_thread::sleep_until(until);
}

}  // namespace

int InstallFdLink(LinkSession* session, int fd, bool is_socket, std::string* reason) {
  FdLink* link = new (std::nothrow) FdLink{fd, is_socket, false};
  if (link == nullptr) {
    close(fd);
    *reason = SystemReason(ENOMEM);
    return -1;
  }
  InstallTransport(session, {Drain, Write, Close, WaitInput, link});
  return 0;
}

std::string SystemReason(int error) {
  return std::strerror(error);
}
