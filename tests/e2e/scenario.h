// Shorthands the scenarios share: each returns an assertion result that says
// what went wrong, so a scenario reads ASSERT_TRUE(Started(run, config)).
#pragma once
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/e2e/harness.h"

namespace e2e {

// Starts the program with this config.ini, or with none at all (std::nullopt: its first start).
inline ::testing::AssertionResult Started(ProgramRun& run,
                                          const std::optional<std::string>& config_text) {
  std::string error;
  if (StartProgram(run, config_text ? config_text->c_str() : nullptr, &error)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << error;
}

// A fake instrument on loopback TCP and the program aimed at it.
inline ::testing::AssertionResult StartedWithFake(ProgramRun& run, FakeInstrument& fake,
                                                  const FakeBehaviour& behaviour = {},
                                                  const std::string& more_config = "") {
  if (!StartFakeTcp(fake, behaviour)) return ::testing::AssertionFailure() << "no fake listener";
  return Started(run, TcpConfig(fake.port) + more_config);
}

// Presses 接続 (or 切断) and waits until the other button is enabled and the click is handled.
inline ::testing::AssertionResult Connected(const ProgramRun& run, bool connect = true) {
  Click(run, connect ? 400 : 401);
  if (WaitUntil([&] { return IsEnabled(run, connect ? 401 : 400); }) && Sync(run)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << (connect ? "no connection" : "still connected");
}

inline ::testing::AssertionResult Disconnected(const ProgramRun& run) {
  return Connected(run, false);
}

// The live value, unit, mode and type labels, joined by " | ".
inline std::string LiveTexts(const ProgramRun& run) {
  return Text(run, 201) + " | " + Text(run, 202) + " | " + Text(run, 203) + " | " + Text(run, 204);
}

inline ::testing::AssertionResult ExitsWithZero(ProgramRun& run) {
  DWORD code = 99;
  if (!WaitForExit(run, kWaitTimeoutMs, &code)) {
    return ::testing::AssertionFailure() << "the program did not end";
  }
  if (code != 0) return ::testing::AssertionFailure() << "exit code " << code;
  return ::testing::AssertionSuccess();
}

// Waits for a message box with this caption and text and dismisses it.
inline ::testing::AssertionResult MessageShown(const ProgramRun& run, const std::string& caption,
                                               const std::string& text) {
  DialogInfo box;
  if (!WaitForDialog(run, kWaitTimeoutMs, &box))
    return ::testing::AssertionFailure() << "no message";
  DismissDialog(box);
  if (!WaitForDialogGone(box) || !Sync(run)) {
    return ::testing::AssertionFailure() << "the message stayed up";
  }
  if (box.caption != caption || box.text != text) {
    return ::testing::AssertionFailure() << "message [" << box.caption << "] " << box.text;
  }
  return ::testing::AssertionSuccess();
}

// The main window of either link state: status bar, buttons and page controls
// (the replay count box also depends on the endless choice). Connected when
// the instrument's identity is given.
inline void ExpectWindow(const ProgramRun& run, const std::string& method,
                         const std::string& identity) {
  const bool connected = !identity.empty();
  EXPECT_EQ(StatusText(run, 0), method + (connected ? "接続(接続中)" : "接続(未接続)"));
  EXPECT_EQ(StatusText(run, 1), "");
  EXPECT_EQ(StatusText(run, 2), identity);
  for (int id : {400, 402}) EXPECT_EQ(IsEnabled(run, id), !connected) << "control " << id;
  for (int id : {401,  403,  441, 420, 421, 422, 423, 440, 501, 600, 900, 1200,
                 1201, 1202, 502, 503, 504, 505, 442, 300, 443, 444, 601}) {
    EXPECT_EQ(IsEnabled(run, id), connected) << "control " << id;
  }
  EXPECT_TRUE(connected || !IsEnabled(run, 506));
}

// Picks an output type with its radio button.
inline void ChooseType(const ProgramRun& run, int type) {
  for (int t = 0; t < 4; ++t) {
    SendMessageW(Control(run, 420 + t), BM_SETCHECK, t == type ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  Click(run, 420 + type);
  Sync(run);
}

}  // namespace e2e
