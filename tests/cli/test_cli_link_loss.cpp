// monitor and the lost link, against the simulator: stopped and started
// again on the same TCP port, or its pty gone and a new one made at the same
// path. The four cases take the loss rule's ten seconds each, so they run
// side by side.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "tests/cli/cli_harness.h"

namespace {

using Json = nlohmann::json;

struct LossCase {
  LossCase(bool over_tcp, bool with_reconnect) : tcp(over_tcp), reconnect(with_reconnect) {}
  bool tcp;
  bool reconnect;
  // Filled by the run.
  CliResult result;
  double loss_seconds = 0;         // from the simulator's stop to the event
  std::vector<std::string> kinds;  // "record", "link_lost", "reconnected", in order
  std::string new_sim_log;
};

int Records(const std::string& out) {
  int n = 0;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) n += line.find("\"value\"") != std::string::npos;
  return n;
}

void RunLossCase(LossCase* c, int index) {
  const std::string pty = TempDir() + "/loss-pty-" + std::to_string(index);
  auto sim = std::make_unique<SimulatorProcess>(0, pty);
  const int port = sim->port();
  std::vector<std::string> args = {"--json",  "-c",         c->tcp ? TcpLink(port) : pty,
                                   "monitor", "--interval", "100"};
  if (c->reconnect) args.push_back("--reconnect");
  CliProcess monitor(args);
  if (!monitor.WaitForOutput([](const std::string& out) { return Records(out) >= 2; }, 10000)) {
    c->result = monitor.Finish(0);
    return;
  }
  sim->Stop();
  const double stopped = NowSeconds();
  const bool lost = monitor.WaitForOutput(
      [](const std::string& out) { return out.find("link_lost") != std::string::npos; }, 16000);
  c->loss_seconds = NowSeconds() - stopped;
  if (lost && c->reconnect) {
    sim = std::make_unique<SimulatorProcess>(port, pty);
    monitor.WaitForOutput(
        [](const std::string& out) {
          const size_t at = out.find("reconnected");
          return at != std::string::npos && Records(out.substr(at)) >= 2;
        },
        10000);
    monitor.Signal(SIGINT);
  }
  c->result = monitor.Finish(c->reconnect ? 5000 : 16000);
  c->new_sim_log = sim->Log();
  std::istringstream in(c->result.out);
  for (std::string line; std::getline(in, line);) {
    Json j = Json::parse(line);
    c->kinds.push_back(j.contains("event")   ? j["event"].get<std::string>()
                       : j.contains("error") ? "error"
                                             : "record");
  }
}

}  // namespace

TEST(CliLinkLoss, WithAndWithoutReconnectOverTcpAndPty) {
  LossCase cases[] = {{true, false}, {true, true}, {false, false}, {false, true}};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) threads.emplace_back(RunLossCase, &cases[i], i);
  for (std::thread& t : threads) t.join();

  for (const LossCase& c : cases) {
    SCOPED_TRACE(std::string(c.tcp ? "tcp" : "pty") + (c.reconnect ? " --reconnect" : ""));
    EXPECT_GT(c.loss_seconds, 9.5);
    EXPECT_LT(c.loss_seconds, 14.0);
    // Records, the loss, and nothing made up for the gap.
    std::vector<std::string> expected(c.kinds.size(), "record");
    const auto lost = std::find(c.kinds.begin(), c.kinds.end(), "link_lost");
    ASSERT_NE(lost, c.kinds.end()) << c.result.out << c.result.err;
    const size_t at = static_cast<size_t>(lost - c.kinds.begin());
    expected[at] = "link_lost";
    if (c.reconnect) {
      ASSERT_LT(at + 1, c.kinds.size());
      expected[at + 1] = "reconnected";
      EXPECT_GE(c.kinds.size() - at - 2, 2u);
      EXPECT_EQ(c.result.exit_code, 0) << c.result.err;
      // Ctrl+C on the new link: the disconnect went out there.
      EXPECT_NE(c.new_sim_log.find(c.tcp ? "rx tcp AA 11 00 00 00 BC" : "rx pty AA 11 00 00 00 BC"),
                std::string::npos);
    } else {
      ASSERT_EQ(at + 2, c.kinds.size());
      expected[at + 1] = "error";
      EXPECT_EQ(c.result.exit_code, 4);
      EXPECT_EQ(c.result.err,
                "rv-sola62-cli: the link was lost: no valid frame for more than 10 s\n");
    }
    EXPECT_GE(at, 2u);
    EXPECT_EQ(c.kinds, expected);
  }
}
