#include "tests/cli/cli_harness.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/sim_frame.h"

extern char** environ;

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

struct Scratch {
  std::string path;
  Scratch() {
    char pattern[] = "/tmp/rv-sola62-cli-test.XXXXXX";
    path = mkdtemp(pattern);
  }
  ~Scratch() {
    if (Env("RV_CLI_KEEP") != "1") std::filesystem::remove_all(path);
  }
};

void SetNonBlocking(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// Reads what fd has; false at its end.
bool ReadSome(int fd, std::string* into) {
  char buffer[4096];
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
      into->append(buffer, static_cast<size_t>(got));
      continue;
    }
    return got < 0 && (errno == EAGAIN || errno == EINTR);
  }
}

}  // namespace

const std::string& TempDir() {
  static Scratch scratch;
  return scratch.path;
}

double NowSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

CliProcess::CliProcess(const std::vector<std::string>& args, const std::vector<std::string>& env,
                       const std::string& input) {
  std::vector<std::string> argv;
  if (!Env("RV_CLI_RUNNER").empty()) argv.push_back(Env("RV_CLI_RUNNER"));
  argv.push_back(Env("RV_CLI"));
  argv.insert(argv.end(), args.begin(), args.end());
  // Everything the child needs is made before the fork: the fake's threads run.
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "RV_SOLA62_CONNECT=", 18) != 0) environment.push_back(*e);
  }
  environment.insert(environment.end(), env.begin(), env.end());
  std::vector<char*> argv_c, env_c;
  for (std::string& a : argv) argv_c.push_back(a.data());
  for (std::string& e : environment) env_c.push_back(e.data());
  argv_c.push_back(nullptr);
  env_c.push_back(nullptr);

  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return;
  started_ = NowSeconds();
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    execve(argv_c[0], argv_c.data(), env_c.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // Small enough for the pipe's buffer, so this never blocks.
  if (!input.empty() && write(in[1], input.data(), input.size()) < 0) {
  }
  close(in[1]);
  out_fd_ = out[0];
  err_fd_ = err[0];
  SetNonBlocking(out_fd_);
  SetNonBlocking(err_fd_);
}

CliProcess::~CliProcess() {
  if (pid_ > 0) Finish(0);
}

void CliProcess::Pump(int wait_ms) {
  pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  poll(fds, 2, wait_ms);
  if (out_fd_ >= 0 && !ReadSome(out_fd_, &result_.out)) {
    close(out_fd_);
    out_fd_ = -1;
  }
  if (err_fd_ >= 0 && !ReadSome(err_fd_, &result_.err)) {
    close(err_fd_);
    err_fd_ = -1;
  }
}

bool CliProcess::WaitForOutput(bool (*predicate)(const std::string&), int timeout_ms) {
  const double until = NowSeconds() + timeout_ms / 1000.0;
  while (!predicate(result_.out)) {
    if (NowSeconds() > until || (out_fd_ < 0 && err_fd_ < 0)) return false;
    Pump(20);
  }
  return true;
}

bool CliProcess::WaitForError(const std::string& text, int timeout_ms) {
  const double until = NowSeconds() + timeout_ms / 1000.0;
  while (result_.err.find(text) == std::string::npos) {
    if (NowSeconds() > until || (out_fd_ < 0 && err_fd_ < 0)) return false;
    Pump(20);
  }
  return true;
}

void CliProcess::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

CliResult CliProcess::Finish(int timeout_ms) {
  if (pid_ <= 0) return result_;
  const double until = NowSeconds() + timeout_ms / 1000.0;
  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && NowSeconds() < until) Pump(20);
  if (done == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    result_.exit_code = -1;
  } else {
    result_.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  result_.seconds = NowSeconds() - started_;
  // All it wrote is in the pipes now. A process it left behind (Wine's
  // server) may hold them open, so what is there is read and no end awaited.
  for (int* fd : {&out_fd_, &err_fd_}) {
    if (*fd < 0) continue;
    ReadSome(*fd, fd == &out_fd_ ? &result_.out : &result_.err);
    close(*fd);
    *fd = -1;
  }
  pid_ = -1;
  return result_;
}

CliResult RunCli(const std::vector<std::string>& args, const std::vector<std::string>& env,
                 const std::string& input) {
  CliProcess process(args, env, input);
  return process.Finish();
}

FakeInstrument::FakeInstrument(Kind kind, const SimOptions& options) : kind_(kind) {
  InitModel(&model_, options, SecondsSince2000(2024, 3, 5, 14, 7, 9));
  if (kind == kTcp) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    link_ = TcpLink(ntohs(address.sin_port));
  } else {
    // Left as openpty makes it (echo, line processing): the client must make it raw.
    char name[256];
    openpty(&client_, &slave_, name, nullptr, nullptr);
    SetNonBlocking(client_);
    link_ = name;
  }
  thread_ = std::thread([this] { Serve(); });
}

FakeInstrument::~FakeInstrument() {
  stop_ = true;
  thread_.join();
  for (int fd : {listener_, client_, slave_}) {
    if (fd >= 0) close(fd);
  }
}

void FakeInstrument::Serve() {
  const int link = kind_ == kTcp ? 0 : 1;
  const double start = NowSeconds();
  while (!stop_) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {client_, POLLIN, 0}};
    poll(fds, 2, 5);
    model_.log.clear();
    if (kind_ == kTcp && (fds[0].revents & POLLIN)) {
      int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd >= 0) {
        if (client_ >= 0) close(client_);
        ForgetLink(&model_, link);
        client_ = fd;
        std::lock_guard<std::mutex> lock(mutex_);
        ++connections_;
      }
    }
    AdvanceModel(&model_, static_cast<uint64_t>((NowSeconds() - start) * 1000));
    if (client_ >= 0) {
      uint8_t buffer[4096];
      ssize_t got = read(client_, buffer, sizeof buffer);
      if (got > 0) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          received_.insert(received_.end(), buffer, buffer + got);
        }
        ModelReceive(&model_, link, buffer, static_cast<int>(got));
      } else if (got == 0 && kind_ == kTcp) {
        close(client_);
        client_ = -1;
      }
      std::vector<uint8_t> answers;
      TakeDueAnswers(&model_, link, &answers);
      if (client_ >= 0 && !answers.empty() && write(client_, answers.data(), answers.size()) < 0) {
      }
    }
  }
}

Bytes FakeInstrument::Received() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

int FakeInstrument::Connections() {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

SimulatorProcess::SimulatorProcess(int port, const std::string& pty_path,
                                   const std::vector<std::string>& extra) {
  static int count = 0;
  log_path_ = TempDir() + "/sim" + std::to_string(++count) + ".log";
  std::vector<std::string> args = {Env("RV_SIM"), "--tcp-port", std::to_string(port),
                                   "--pty-link",  pty_path,     "--log",
                                   log_path_};
  args.insert(args.end(), extra.begin(), extra.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  if (pipe(out) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  SetNonBlocking(out[0]);
  std::string text;
  const double until = NowSeconds() + 5;
  while (text.find("ready\n") == std::string::npos && NowSeconds() < until) {
    pollfd fd = {out[0], POLLIN, 0};
    poll(&fd, 1, 50);
    ReadSome(out[0], &text);
  }
  close(out[0]);
  const size_t at = text.find("127.0.0.1:");
  if (at != std::string::npos) port_ = std::atoi(text.c_str() + at + 10);
}

SimulatorProcess::~SimulatorProcess() {
  Stop();
}

void SimulatorProcess::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  const double until = NowSeconds() + 5;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (NowSeconds() > until) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    usleep(10000);
  }
  pid_ = -1;
}

std::string SimulatorProcess::Log() const {
  std::ifstream file(log_path_);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string Hex(const Bytes& bytes) {
  return HexBytes(bytes.data(), static_cast<int>(bytes.size()));
}

Bytes Frame(uint8_t command, const Bytes& data) {
  return BuildFrame(0xAA, command, 0, data);
}

std::string TcpLink(int port) {
  return "tcp://127.0.0.1:" + std::to_string(port);
}

int RefusedPort() {
  // Held for the whole run, so nobody else can listen there meanwhile.
  static int fd = -1;
  static int port = 0;
  if (fd < 0) {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
  }
  return port;
}

int Lines(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}
