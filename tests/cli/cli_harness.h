// Runs the real rv-sola62-cli as a child process against a scripted
// instrument of the test's own (loopback TCP or a pty, every byte recorded)
// or the simulator. Every wait is bounded.
#pragma once
#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/instrument_model.h"

using Bytes = std::vector<uint8_t>;

constexpr int kCliTimeoutMs = 20000;

// The run's scratch folder; removed when the tests end.
const std::string& TempDir();

struct CliResult {
  int exit_code = -1;  // -1: killed at the time-out
  std::string out;
  std::string err;
  double seconds = 0;
};

// The client as a child: RV_CLI, started through RV_CLI_RUNNER (Wine) when
// that is set. RV_SOLA62_CONNECT is taken from env only.
class CliProcess {
 public:
  CliProcess(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
             const std::string& input = "");
  ~CliProcess();
  // Reads output until predicate holds for stdout or timeout_ms pass.
  bool WaitForOutput(bool (*predicate)(const std::string& out), int timeout_ms);
  bool WaitForError(const std::string& text, int timeout_ms);
  void Signal(int signal);
  CliResult Finish(int timeout_ms = kCliTimeoutMs);

 private:
  void Pump(int wait_ms);
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  CliResult result_;
  double started_ = 0;
};

CliResult RunCli(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                 const std::string& input = "");

// A scripted instrument in a thread of the test: the simulator's model
// answers, and every byte the client sent is kept.
class FakeInstrument {
 public:
  enum Kind { kTcp, kPty };
  explicit FakeInstrument(Kind kind, const SimOptions& options = SimOptions{});
  ~FakeInstrument();
  const std::string& link() const { return link_; }  // for --connect
  Bytes Received();
  int Connections();

 private:
  void Serve();
  Kind kind_;
  std::string link_;
  int listener_ = -1;
  int client_ = -1;  // the TCP client or the pty master
  int slave_ = -1;   // held, so the pty outlives the client's close
  InstrumentModel model_{};
  std::mutex mutex_;
  Bytes received_;
  int connections_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The simulator binary (RV_SIM) on a TCP port and a pty link.
class SimulatorProcess {
 public:
  // port 0 picks a free one; the pty link is made at pty_path.
  SimulatorProcess(int port, const std::string& pty_path,
                   const std::vector<std::string>& extra = {});
  ~SimulatorProcess();
  void Stop();
  int port() const { return port_; }
  std::string Log() const;  // its frame log so far

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string log_path_;
};

// Helpers.
std::string Hex(const Bytes& bytes);
Bytes Frame(uint8_t command, const Bytes& data = {});  // as the PC sends it
std::string TcpLink(int port);
int RefusedPort();  // a loopback port that is bound but does not listen
double NowSeconds();
int Lines(const std::string& text);
