// Shorthands the scenarios share: each returns an assertion result that says
// what went wrong, so a scenario reads ASSERT_TRUE(Started(run, config)).
#pragma once
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/e2e/harness_fake.h"

namespace e2e {

using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;

// Starts the program in a fresh directory of its own, with this config.ini or
// with none at all (std::nullopt: its first start).
inline AssertionResult Started(ProgramRun& run, const std::optional<std::string>& config_text) {
  static int counter = 0;
  std::filesystem::path dir = WindowsPath(Env("RV_E2E_TEMP"));
  if (dir.empty()) dir = std::filesystem::temp_directory_path();
  dir /= "run-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  std::error_code failed;
  if (!std::filesystem::create_directories(dir, failed)) return AssertionFailure() << "no dir";
  if (config_text) std::ofstream(dir / "config.ini", std::ios::binary) << *config_text;
  std::string error;
  if (run.Start(dir.wstring(), &error)) return AssertionSuccess();
  return AssertionFailure() << error;
}

// A fake instrument (with these simulator options) on loopback TCP, and the program aimed at it.
inline AssertionResult StartedWithFake(ProgramRun& run, FakeInstrument& fake,
                                       const std::vector<const char*>& options = {},
                                       const std::string& more_config = "") {
  if (!fake.Start(options)) return AssertionFailure() << "no fake instrument";
  return Started(run, LinkConfig("COM1", fake.port) + more_config);
}

// Presses 接続 (or 切断) and waits until the other one is enabled and the click is handled.
inline AssertionResult Connected(const ProgramRun& run, bool connect = true) {
  run.Click(connect ? 400 : 401);
  if (WaitUntil([&] { return run.Enabled(connect ? 401 : 400); }) && run.Sync()) {
    return AssertionSuccess();
  }
  return AssertionFailure() << (connect ? "no connection" : "still connected");
}

inline AssertionResult Disconnected(const ProgramRun& run) {
  return Connected(run, false);
}

inline AssertionResult ExitsWithZero(ProgramRun& run) {
  DWORD code = 99;
  if (!run.WaitForExit(kWaitTimeoutMs, &code)) return AssertionFailure() << "the program runs on";
  return code == 0 ? AssertionSuccess() : AssertionFailure() << "exit code " << code;
}

// Waits for a message box with this caption and text and dismisses it.
inline AssertionResult MessageShown(const ProgramRun& run, const std::string& caption,
                                    const std::string& text) {
  Dialog box;
  if (!run.WaitForDialog(kWaitTimeoutMs, &box)) return AssertionFailure() << "no message";
  box.Click(IDOK);
  if (!box.WaitGone() || !run.Sync()) return AssertionFailure() << "the message stayed up";
  if (box.caption == caption && box.text == text) return AssertionSuccess();
  return AssertionFailure() << "message [" << box.caption << "] " << box.text;
}

// The live value, unit, mode and type labels, joined by " | ".
inline std::string LiveTexts(const ProgramRun& run) {
  return run.Text(201) + " | " + run.Text(202) + " | " + run.Text(203) + " | " + run.Text(204);
}

// The main window of either link state: status bar, buttons and page controls
// (the replay count box also depends on the endless choice). Connected when
// the instrument's identity is given.
inline void ExpectWindow(const ProgramRun& run, const std::string& method,
                         const std::string& identity) {
  const bool connected = !identity.empty();
  EXPECT_EQ(run.Status(0), method + (connected ? "接続(接続中)" : "接続(未接続)"));
  EXPECT_EQ(run.Status(1), "");
  EXPECT_EQ(run.Status(2), identity);
  for (int id : {400, 402}) EXPECT_EQ(run.Enabled(id), !connected) << "control " << id;
  for (int id : {401,  403,  441, 420, 421, 422, 423, 440, 501, 600, 900, 1200,
                 1201, 1202, 502, 503, 504, 505, 442, 300, 443, 444, 601}) {
    EXPECT_EQ(run.Enabled(id), connected) << "control " << id;
  }
  EXPECT_TRUE(connected || !run.Enabled(506));
}

// A scenario's program and the instrument it may talk to; each suite derives its own.
class Scenario : public ::testing::Test {
 protected:
  FakeInstrument fake;
  ProgramRun run;

  // The program connected to the fake instrument; what came so far is forgotten.
  void ConnectToFake() {
    ASSERT_TRUE(StartedWithFake(run, fake));
    ASSERT_TRUE(Connected(run));
    fake.Clear();
  }
};

// Picks an output type with its radio button.
inline void ChooseType(const ProgramRun& run, int type) {
  for (int t = 0; t < 4; ++t) Query(run.Control(420 + t), BM_SETCHECK, t == type);
  run.Click(420 + type);
  run.Sync();
}

}  // namespace e2e
