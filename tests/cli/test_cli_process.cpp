// The client's own binary against the simulator: monitor losing its link (the
// simulator stopped and started again on the same TCP port, or its pty gone
// and a new one made at the same path), and stopped by Ctrl+C on the new
// link. The four cases take the loss rule's ten seconds each, so they run
// side by side.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "tests/cli/cli_harness.h"

namespace {

bool TwoLines(const std::string& out) {
  return Lines(out) >= 2;
}

// The JSON lines as letters: r a record, L link_lost, R reconnected, E an error;
// ! where a time is earlier than the one before (same zone and day here, so
// the texts order as the times do).
std::string Kinds(const std::string& out) {
  std::string kinds, last;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json j = nlohmann::json::parse(line);
    if (j.contains("time") && j["time"].get<std::string>() < last) kinds += '!';
    if (j.contains("time")) last = j["time"];
    kinds += j.contains("error")         ? 'E'
             : !j.contains("event")      ? 'r'
             : j["event"] == "link_lost" ? 'L'
                                         : 'R';
  }
  return kinds;
}

struct LossCase {
  bool tcp, reconnect;
  int exit_code = -1;
  std::string kinds{}, err{}, last_rx{};  // the simulator's last frame received
  double loss_seconds = 0;                // from the simulator's stop to the event
};

void RunLossCase(LossCase* c) {
  const std::string pty = NewPath("loss-pty");
  auto sim = std::make_unique<Simulator>(pty);
  std::vector<std::string> args = {"--json",  "-c",         c->tcp ? TcpLink(sim->port) : pty,
                                   "monitor", "--interval", "100"};
  if (c->reconnect) args.push_back("--reconnect");
  Child monitor(ClientArgv(args));
  if (monitor.WaitFor(TwoLines, 10)) {
    sim->Stop();
    const double stopped = NowSeconds();
    monitor.WaitFor([](const std::string& out) { return Kinds(out).find('L') != out.npos; }, 16);
    c->loss_seconds = NowSeconds() - stopped;
    if (c->reconnect) {
      sim = std::make_unique<Simulator>(pty, sim->port);
      monitor.WaitFor([](const std::string& out) { return Kinds(out).find("Rrr") != out.npos; },
                      10);
      monitor.Signal(SIGINT);
    }
  }
  c->exit_code = monitor.Finish(c->reconnect ? 5 : 16);
  c->kinds = Kinds(monitor.Out());
  c->err = monitor.Err();
  const std::string log = ReadFile(sim->log);
  const size_t last = log.rfind(" rx ");
  if (last != log.npos) c->last_rx = log.substr(last + 1, log.find('\n', last) - last - 1);
}

}  // namespace

TEST(CliProcess, MonitorLosesItsLinkWithAndWithoutReconnectOverTcpAndPtyAndEndsByCtrlC) {
  LossCase cases[] = {{true, false}, {true, true}, {false, false}, {false, true}};
  std::vector<std::thread> threads;
  for (LossCase& c : cases) threads.emplace_back(RunLossCase, &c);
  for (std::thread& t : threads) t.join();
  for (const LossCase& c : cases) {
    SCOPED_TRACE(std::string(c.tcp ? "tcp" : "pty") + (c.reconnect ? " --reconnect" : ""));
    EXPECT_GT(c.loss_seconds, 9.5);
    EXPECT_LT(c.loss_seconds, 14.0);
    // Records, the loss, and nothing made up for the gap.
    if (c.reconnect) {
      EXPECT_TRUE(std::regex_match(c.kinds, std::regex("rr+LRrr+"))) << c.kinds;
      EXPECT_EQ(c.exit_code, 0) << c.err;
      // Ctrl+C on the new link: the disconnect went out there, last.
      EXPECT_EQ(c.last_rx, std::string("rx ") + (c.tcp ? "tcp" : "pty") + " AA 11 00 00 00 BC");
    } else {
      EXPECT_TRUE(std::regex_match(c.kinds, std::regex("rr+LE"))) << c.kinds;
      EXPECT_EQ(c.exit_code, 4);
      EXPECT_EQ(c.err, "rv-sola62-cli: the link was lost: no valid frame for more than 10 s\n");
    }
  }
}
