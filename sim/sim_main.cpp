// rv-sola62-sim: the instrument model behind a loopback TCP port and/or a pty.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "sim/instrument_model.h"
#include "sim/sim_command_line.h"

namespace {

volatile sig_atomic_t stop_signalled = 0;

void OnStopSignal(int) {
  stop_signalled = 1;
}

struct Link {
  int fd = -1;
  std::vector<uint8_t> out;
  uint64_t drop_at_ms = 0;  // when a requested drop happens; 0: not yet scheduled
};

// A pty that closes drops what its reader has not taken yet, so the last
// answer gets this long to be read before the port goes away.
constexpr uint64_t kPtyDropGraceMs = 200;

struct Simulator {
  SimCommandLine command_line;
  InstrumentModel model;
  FILE* log = stderr;
  int listener = -1;
  Link links[kSimLinkCount];  // 0: TCP client, 1: pty master
  int pty_slave = -1;         // held so the pty survives the program opening and closing it
  std::string pty_slave_name;
  std::string ready_lines;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

uint64_t NowMs(const Simulator& sim) {
  auto elapsed = std::chrono::steady_clock::now() - sim.start;
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void Note(Simulator* sim, const char* text) {
  uint64_t now = NowMs(*sim);
  std::fprintf(sim->log, "%llu.%03llu %s\n", static_cast<unsigned long long>(now / 1000),
               static_cast<unsigned long long>(now % 1000), text);
  std::fflush(sim->log);
}

void FlushModelLog(Simulator* sim) {
  for (const std::string& line : sim->model.log) std::fprintf(sim->log, "%s\n", line.c_str());
  if (!sim->model.log.empty()) std::fflush(sim->log);
  sim->model.log.clear();
}

int64_t LocalClockSince2000() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return SecondsSince2000(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec);
}

bool OpenListener(Simulator* sim) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only, always
  address.sin_port = htons(static_cast<uint16_t>(sim->command_line.tcp_port));
  socklen_t size = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    std::fprintf(stderr, "rv-sola62-sim: tcp: %s\n", std::strerror(errno));
    close(fd);
    return false;
  }
  sim->listener = fd;
  sim->ready_lines += "listening tcp 127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "\n";
  return true;
}

bool OpenPty(Simulator* sim) {
  const std::string& path = sim->command_line.pty_link;
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || !ptsname(master)) {
    std::fprintf(stderr, "rv-sola62-sim: pty: %s\n", std::strerror(errno));
    return false;
  }
  sim->pty_slave_name = ptsname(master);
  sim->pty_slave = open(sim->pty_slave_name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios line{};
  if (sim->pty_slave < 0 || tcgetattr(sim->pty_slave, &line) != 0) {
    std::fprintf(stderr, "rv-sola62-sim: pty slave: %s\n", std::strerror(errno));
    return false;
  }
  // Wine's server opens devices without O_NOCTTY. Holding the pty as our own
  // controlling terminal keeps it from becoming the server's, which would get
  // SIGHUP (and dump its state to stderr) whenever the pty goes away.
  if (setsid() >= 0) ioctl(sim->pty_slave, TIOCSCTTY, 0);
  cfmakeraw(&line);  // no echo, no line editing: bytes pass as they are
  cfsetispeed(&line, B115200);
  cfsetospeed(&line, B115200);
  tcsetattr(sim->pty_slave, TCSANOW, &line);
  // Replace only a stale symlink; never a real file someone put there.
  char old_target[256];
  if (readlink(path.c_str(), old_target, sizeof old_target) >= 0) unlink(path.c_str());
  if (symlink(sim->pty_slave_name.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "rv-sola62-sim: %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  sim->links[1].fd = master;
  sim->ready_lines += "pty " + path + " -> " + sim->pty_slave_name + "\n";
  return true;
}

void RemovePtyLink(Simulator* sim) {
  const std::string& path = sim->command_line.pty_link;
  char target[256];
  ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
  if (n >= 0) {
    target[n] = 0;
    if (sim->pty_slave_name == target) unlink(path.c_str());
  }
}

void CloseLink(Simulator* sim, int link, const char* why) {
  Link& l = sim->links[link];
  if (l.fd < 0) return;
  close(l.fd);
  l.fd = -1;
  l.out.clear();
  l.drop_at_ms = 0;
  ForgetLink(&sim->model, link);
  if (link == 1) {
    // The COM port vanishes as an unplugged adapter would.
    if (sim->pty_slave >= 0) close(sim->pty_slave);
    sim->pty_slave = -1;
    RemovePtyLink(sim);
  }
  Note(sim, why);
}

void AcceptClient(Simulator* sim) {
  int fd = accept4(sim->listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return;
  // One client at a time, the newest wins: a program that reconnects after
  // losing the link must not find the instrument busy with its old socket.
  if (sim->links[0].fd >= 0) CloseLink(sim, 0, "tcp client replaced");
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sim->links[0].fd = fd;
  Note(sim, "tcp client connected");
}

void ReadLink(Simulator* sim, int link) {
  Link& l = sim->links[link];
  uint8_t buffer[4096];
  ssize_t n = read(l.fd, buffer, sizeof buffer);
  if (n > 0) {
    if (sim->command_line.echo) {
      l.out.insert(l.out.end(), buffer, buffer + n);
      char text[64];
      std::snprintf(text, sizeof text, "echo %s %zd bytes", link == 0 ? "tcp" : "pty", n);
      Note(sim, text);
    } else {
      ModelReceive(&sim->model, link, buffer, static_cast<int>(n));
    }
    return;
  }
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (link == 0) CloseLink(sim, 0, n == 0 ? "tcp client closed" : "tcp client failed");
}

void WriteLink(Simulator* sim, int link) {
  Link& l = sim->links[link];
  if (l.fd < 0 || l.out.empty()) return;
  ssize_t n = link == 0 ? send(l.fd, l.out.data(), l.out.size(), MSG_NOSIGNAL)
                        : write(l.fd, l.out.data(), l.out.size());
  if (n > 0) {
    l.out.erase(l.out.begin(), l.out.begin() + n);
  } else if (n < 0 && errno != EAGAIN && errno != EINTR && link == 0) {
    CloseLink(sim, 0, "tcp client failed");
  }
}

// A stalled link is not read: what arrives waits in the pty or the socket,
// and once those are full the peer's writes stall.
bool Stalled(const Simulator& sim, int link) {
  return sim.command_line.stall || NowMs(sim) < sim.model.stall_until_ms[link];
}

bool AnswersWaiting(const Simulator& sim, int link) {
  for (const SimAnswer& a : sim.model.outbox)
    if (a.link == link) return true;
  return !sim.links[link].out.empty();
}

void Run(Simulator* sim) {
  while (!stop_signalled) {
    pollfd fds[3];
    int count = 0;
    int listener_at = -1, link_at[kSimLinkCount] = {-1, -1};
    if (sim->listener >= 0) {
      listener_at = count;
      fds[count++] = {sim->listener, POLLIN, 0};
    }
    for (int link = 0; link < kSimLinkCount; ++link) {
      if (sim->links[link].fd < 0) continue;
      link_at[link] = count;
      short events = Stalled(*sim, link) ? 0 : POLLIN;
      if (!sim->links[link].out.empty()) events |= POLLOUT;
      fds[count++] = {sim->links[link].fd, events, 0};
    }
    uint64_t now = NowMs(*sim);
    uint64_t due = NextDueMs(&sim->model);
    int timeout = 50;
    if (due != UINT64_MAX)
      timeout = due <= now ? 0 : static_cast<int>(std::min<uint64_t>(50, due - now));
    poll(fds, count, timeout);
    AdvanceModel(&sim->model, NowMs(*sim));
    if (listener_at >= 0 && (fds[listener_at].revents & POLLIN)) AcceptClient(sim);
    for (int link = 0; link < kSimLinkCount; ++link) {
      int at = link_at[link];
      if (at < 0 || sim->links[link].fd < 0 || sim->links[link].fd != fds[at].fd) continue;
      if (Stalled(*sim, link)) continue;
      if (fds[at].revents & (POLLIN | POLLHUP | POLLERR)) ReadLink(sim, link);
    }
    AdvanceModel(&sim->model, NowMs(*sim));
    for (int link = 0; link < kSimLinkCount; ++link) {
      if (sim->links[link].fd < 0) continue;
      TakeDueAnswers(&sim->model, link, &sim->links[link].out);
      WriteLink(sim, link);
    }
    FlushModelLog(sim);
    for (int link = 0; link < kSimLinkCount; ++link) {
      Link& l = sim->links[link];
      if (!sim->model.drop_requested[link] || AnswersWaiting(*sim, link)) continue;
      uint64_t now_ms = NowMs(*sim);
      if (l.drop_at_ms == 0) l.drop_at_ms = now_ms + (link == 1 ? kPtyDropGraceMs : 0);
      if (now_ms >= l.drop_at_ms)
        CloseLink(sim, link, link == 0 ? "tcp client dropped" : "pty closed");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kSimUsage, stdout);
      return 0;
    }
  }
  static Simulator sim;
  std::string error;
  if (!ParseSimCommandLine(argc, argv, &sim.command_line, &error)) {
    std::fprintf(stderr, "rv-sola62-sim: %s\n%s", error.c_str(), kSimUsage);
    return 2;
  }
  if (!sim.command_line.log_path.empty()) {
    sim.log = std::fopen(sim.command_line.log_path.c_str(), "a");
    if (!sim.log) {
      std::fprintf(stderr, "rv-sola62-sim: %s: %s\n", sim.command_line.log_path.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }
  InitModel(&sim.model, sim.command_line.options,
            sim.command_line.has_clock ? sim.command_line.clock_seconds : LocalClockSince2000());

  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  signal(SIGHUP, SIG_IGN);  // closing our own pty hangs up our session

  bool ok = true;
  if (sim.command_line.tcp_port >= 0) ok = OpenListener(&sim);
  if (ok && !sim.command_line.pty_link.empty()) ok = OpenPty(&sim);
  if (!ok) {
    if (sim.links[1].fd >= 0) RemovePtyLink(&sim);
    return 1;
  }
  // All at once, so a script that sees any of these lines finds everything in place.
  std::printf("%sready\n", sim.ready_lines.c_str());
  std::fflush(stdout);
  Note(&sim, sim.command_line.echo ? "started (echo)" : "started");

  Run(&sim);

  for (int link = 0; link < kSimLinkCount; ++link) CloseLink(&sim, link, "closed at exit");
  if (sim.listener >= 0) close(sim.listener);
  Note(&sim, "stopped");
  return 0;
}
