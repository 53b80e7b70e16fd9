// Three programs on one instrument: the window on the server's relay, beside
// the command-line client on the relay and a PyVISA client on SCPI. The
// host's side (simulator, server, the two clients) is
// tests/server/test_three_programs.sh, which starts this case with the
// relay's port and takes turns with it through files in a shared folder.
#include <chrono>
#include <filesystem>

#include "tests/e2e/scenario.h"

using namespace e2e;

namespace {

// The host side's turn is done when its file is there.
bool HostDone(const std::filesystem::path& folder, const char* name, int timeout_ms) {
  return WaitUntil([&] { return std::filesystem::exists(folder / name); }, timeout_ms);
}

TEST(ThreePrograms, WindowOnTheRelayBesideTheClientAndPyVisa) {
  const std::string relay_port = Env("RV_SERVER_RELAY_PORT");
  if (relay_port.empty()) GTEST_SKIP() << "run by tests/server/test_three_programs.sh";
  const std::filesystem::path turns = WindowsPath(Env("RV_SERVER_TURNS"));
  ProgramRun run;
  ASSERT_TRUE(Started(run, LinkConfig("COM1", std::stoi(relay_port))));
  ASSERT_TRUE(Connected(run));
  ChooseType(run, 1);
  std::ofstream(turns / "window-connected") << "1";

  // The host's clients set a level; it shows here within a second.
  ASSERT_TRUE(HostDone(turns, "level-set", 60000));
  const auto set_at = std::chrono::steady_clock::now();
  EXPECT_TRUE(WaitUntil([&] { return run.Text(201) == "3.210"; }, 2000)) << run.Text(201);
  const auto shown_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - set_at)
                            .count();
  EXPECT_LE(shown_ms, 1000);

  run.Click(441);  // OFF
  ASSERT_TRUE(run.Sync());
  std::ofstream(turns / "window-off") << "1";
  ASSERT_TRUE(HostDone(turns, "host-checked", 30000));
  // Nobody timed out: no link loss was reported here.
  EXPECT_TRUE(run.NoDialogWithin(200));
  ASSERT_TRUE(Disconnected(run));
  run.CloseBox();
  EXPECT_TRUE(ExitsWithZero(run));
}

}  // namespace
