// The real rv-sola62-cli (through RV_CLI_RUNNER, Wine, when that is set) and
// the simulator as child processes, their output in files of the run's
// scratch folder. Every wait is bounded.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline std::string Env(const char* name, const char* otherwise = "") {
  const char* value = std::getenv(name);
  return value != nullptr ? value : otherwise;
}

inline double NowSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Removed when the tests end, unless RV_CLI_KEEP=1.
inline const std::string& TempDir() {
  static struct Scratch {
    std::string path;
    Scratch() {
      char pattern[] = "/tmp/rv-sola62-cli-test.XXXXXX";
      path = mkdtemp(pattern);
      unsetenv("RV_SOLA62_CONNECT");  // each run names its link
    }
    ~Scratch() {
      if (Env("RV_CLI_KEEP") != "1") std::filesystem::remove_all(path);
    }
  } scratch;
  return scratch.path;
}

inline std::string ReadFile(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

inline std::string WriteFile(const std::string& name, const std::string& text) {
  std::ofstream(TempDir() + "/" + name) << text;
  return TempDir() + "/" + name;
}

inline int Lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

inline std::string TcpLink(int port) {
  return "tcp://127.0.0.1:" + std::to_string(port);
}

// A new name in TempDir.
inline std::string NewPath(const char* what) {
  static std::atomic<int> count{0};
  return TempDir() + "/" + what + std::to_string(++count);
}

// Its stdout and stderr go to the files PATH.out and PATH.err.
class Child {
 public:
  explicit Child(std::vector<std::string> argv) : path_(NewPath("child")) {
    posix_spawn_file_actions_t io;
    posix_spawn_file_actions_init(&io);
    posix_spawn_file_actions_addopen(&io, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&io, 1, (path_ + ".out").c_str(), O_WRONLY | O_CREAT, 0644);
    posix_spawn_file_actions_addopen(&io, 2, (path_ + ".err").c_str(), O_WRONLY | O_CREAT, 0644);
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &io, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&io);
  }
  ~Child() { Finish(0); }
  std::string Out() const { return ReadFile(path_ + ".out"); }
  std::string Err() const { return ReadFile(path_ + ".err"); }
  bool Ended() {
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return pid_ <= 0;
  }
  // Until done(stdout) holds, while it runs.
  bool WaitFor(bool (*done)(const std::string& out), double timeout_s) {
    const double until = NowSeconds() + timeout_s;
    while (!done(Out()) && !Ended() && NowSeconds() < until) usleep(20000);
    return done(Out());
  }
  void Signal(int signal) {
    if (!Ended()) kill(pid_, signal);
  }
  // The exit code; -1 when it had to be killed at the time-out.
  int Finish(double timeout_s) {
    const double until = NowSeconds() + timeout_s;
    while (!Ended() && NowSeconds() < until) usleep(10000);
    if (!Ended()) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    return code_;
  }

 private:
  std::string path_;
  pid_t pid_ = -1;
  int code_ = -1;
};

inline std::vector<std::string> ClientArgv(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {Env("RV_CLI", RV_CLI_BUILT)};
  if (!Env("RV_CLI_RUNNER").empty()) argv.insert(argv.begin(), Env("RV_CLI_RUNNER"));
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

// RV_SIM on a loopback port (0: a free one) and a pty linked at pty.
struct Simulator {
  explicit Simulator(const std::string& pty, int tcp_port = 0)
      : log(NewPath("sim") + ".log"),
        child({Env("RV_SIM", RV_SIM_BUILT), "--tcp-port", std::to_string(tcp_port), "--pty-link",
               pty, "--log", log}) {
    child.WaitFor([](const std::string& out) { return out.find("ready\n") != out.npos; }, 5);
    const std::string out = child.Out();
    port =
        out.find("127.0.0.1:") != out.npos ? std::stoi(out.substr(out.find("127.0.0.1:") + 10)) : 0;
  }
  void Stop() {
    child.Signal(SIGTERM);
    child.Finish(5);
  }
  std::string log;
  Child child;
  int port;
};
