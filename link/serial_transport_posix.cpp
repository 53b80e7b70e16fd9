// The byte pipe over a serial device: raw, 115200 baud, 8N1, RTS/CTS.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "link/fd_link_posix.h"

namespace {

int Fail(int fd, int error, std::string* reason, const char* what = nullptr) {
  if (fd >= 0) close(fd);
  *reason = what != nullptr ? what : SystemReason(error);
  return -1;
}

}  // namespace

int OpenSerialDevice(LinkSession* session, const char* device_path, std::string* reason) {
  // Non-blocking from the start: no wait for a carrier at the open, and reads
  // that take only what has arrived.
  int fd = open(device_path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(-1, errno, reason);
  if (!isatty(fd)) return Fail(fd, ENOTTY, reason, "not a serial port");
  // TIOCEXCL keeps other programs out, but not root; the lock also keeps out
  // a second client run by root.
  if (ioctl(fd, TIOCEXCL) != 0) return Fail(fd, errno, reason);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ioctl(fd, TIOCNXCL);
    return Fail(fd, error, reason, error == EWOULDBLOCK ? "in use by another program" : nullptr);
  }
  termios line{};
  if (tcgetattr(fd, &line) != 0) return Fail(fd, errno, reason);
  cfmakeraw(&line);
  cfsetispeed(&line, B115200);
  cfsetospeed(&line, B115200);
  line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  line.c_cflag |= CS8 | CREAD | CLOCAL | CRTSCTS;
  line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  // With O_NONBLOCK, VMIN 1 makes an empty read fail with EAGAIN; VMIN 0
  // would return 0 then, which reads as the hang-up it gives otherwise.
  line.c_cc[VMIN] = 1;
  line.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &line) != 0) {
    const int error = errno;
    ioctl(fd, TIOCNXCL);
    return Fail(fd, error, reason);
  }
  return InstallFdLink(session, fd, false, reason);
}
