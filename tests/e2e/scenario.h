// Shorthands the scenarios share: each returns an assertion result that says
// what went wrong, so a scenario reads ASSERT_TRUE(Started(run, config)).
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/harness.h"

namespace e2e {

inline ::testing::AssertionResult Started(ProgramRun& run, const char* config_text) {
  std::string error;
  if (StartProgram(run, config_text, &error)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << error;
}

inline ::testing::AssertionResult Started(ProgramRun& run, const std::string& config_text) {
  return Started(run, config_text.c_str());
}

// A fake instrument on loopback TCP and the program aimed at it.
inline ::testing::AssertionResult StartedWithFake(ProgramRun& run, FakeInstrument& fake,
                                                  const FakeBehaviour& behaviour = {},
                                                  const std::string& more_config = "") {
  if (!StartFakeTcp(fake, behaviour)) return ::testing::AssertionFailure() << "no fake listener";
  return Started(run, TcpConfig(fake.port) + more_config);
}

// Presses 接続 and waits until 切断 is enabled and the click is handled.
inline ::testing::AssertionResult Connected(const ProgramRun& run) {
  Click(run, 400);
  if (WaitUntil([&] { return IsEnabled(run, 401); }) && Sync(run)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "no connection";
}

inline ::testing::AssertionResult Disconnected(const ProgramRun& run) {
  Click(run, 401);
  if (WaitUntil([&] { return IsEnabled(run, 400); }) && Sync(run)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "still connected";
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
                                               const std::string& text,
                                               int timeout_ms = kWaitTimeoutMs) {
  DialogInfo box;
  if (!WaitForDialog(run, timeout_ms, &box)) return ::testing::AssertionFailure() << "no message";
  DismissDialog(box);
  if (!WaitForDialogGone(box) || !Sync(run)) {
    return ::testing::AssertionFailure() << "the message stayed up";
  }
  if (box.caption != caption || box.text != text) {
    return ::testing::AssertionFailure() << "message [" << box.caption << "] " << box.text;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace e2e
