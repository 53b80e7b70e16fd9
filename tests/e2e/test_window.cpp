// The main window's live display when the instrument changes mode and type,
// and command dispatch by the low word of wParam.
#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/e2e/harness.h"

using namespace e2e;

namespace {

bool ShowsLive(const ProgramRun& run, const char* value, const char* unit, const char* mode,
               const char* type) {
  return Text(run, IDC_LIVE_VALUE) == value && Text(run, IDC_LIVE_UNIT) == unit &&
         Text(run, IDC_MODE_LABEL) == mode && Text(run, IDC_TYPE_LABEL) == type;
}

std::string LiveTexts(const ProgramRun& run) {
  return Text(run, IDC_LIVE_VALUE) + " | " + Text(run, IDC_LIVE_UNIT) + " | " +
         Text(run, IDC_MODE_LABEL) + " | " + Text(run, IDC_TYPE_LABEL);
}

}  // namespace

TEST(LiveDisplay, FollowsModeAndTypeAndShowsUnknownOnesAsDashes) {
  FakeInstrument fake;
  FakeBehaviour behaviour;
  behaviour.live_mode = 2;
  behaviour.live_type = 0;
  behaviour.live_code = 0x7FFF;
  ASSERT_TRUE(StartFakeTcp(fake, behaviour));
  ProgramRun run;
  std::string error;
  ASSERT_TRUE(StartProgram(run, TcpConfig(fake.port).c_str(), &error)) << error;
  Click(run, IDC_CONNECT);
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(run, IDC_DISCONNECT); })) << "no connection";

  EXPECT_TRUE(WaitUntil([&] {
    return ShowsLive(run, "100.00", "mV", "Mode: スイープ", "Type: ±100[mV]");
  })) << LiveTexts(run);

  ChangeBehaviour(fake, [](FakeBehaviour& b) {
    b.live_mode = 1;
    b.live_type = 3;
    b.live_code = 16384;
  });
  EXPECT_TRUE(WaitUntil([&] {
    return ShowsLive(run, "10.000", "mA", "Mode: 再現", "Type: 0-20[mA](外部電源)");
  })) << LiveTexts(run);

  // Numbers the tables do not name are never looked up.
  ChangeBehaviour(fake, [](FakeBehaviour& b) {
    b.live_mode = 200;
    b.live_type = 9;
  });
  EXPECT_TRUE(WaitUntil([&] { return ShowsLive(run, "-", "", "Mode: ---", "Type: ---"); }))
      << LiveTexts(run);

  ChangeBehaviour(fake, [](FakeBehaviour& b) {
    b.live_mode = 0;
    b.live_type = 2;
    b.live_code = 0;
  });
  EXPECT_TRUE(WaitUntil([&] {
    return ShowsLive(run, "0.000", "mA", "Mode: 通常", "Type: 0-20[mA](内部電源)");
  })) << LiveTexts(run);
}

TEST(WindowCommands, OnlyTheLowWordNamesTheCommand) {
  ProgramRun run;
  std::string error;
  ASSERT_TRUE(StartProgram(run, TcpConfig(1).c_str(), &error)) << error;

  // A notification code in the high word does not change what runs.
  PostMessageW(run.window, WM_COMMAND, MAKEWPARAM(IDC_CONNECTION_SETTINGS, 0x1234), 0);
  DialogInfo dialog;
  ASSERT_TRUE(WaitForDialog(run, kWaitTimeoutMs, &dialog)) << "no connection dialog";
  EXPECT_NE(Control(dialog.window, IDC_CONN_OK), nullptr);
  Click(dialog.window, IDC_CONN_CANCEL);
  ASSERT_TRUE(WaitForDialogGone(dialog));

  // Unknown ids go to default processing and leave the window as it was.
  PostMessageW(run.window, WM_COMMAND, MAKEWPARAM(999, 1), 0);
  ASSERT_TRUE(Sync(run));
  EXPECT_TRUE(NoDialogWithin(run, 300));
  EXPECT_TRUE(IsEnabled(run, IDC_CONNECT));

  MenuCommand(run, IDM_EXIT);
  DWORD code = 1;
  ASSERT_TRUE(WaitForExit(run, kWaitTimeoutMs, &code));
  EXPECT_EQ(code, 0u);
}
