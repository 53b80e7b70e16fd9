// The main window's live display when the instrument changes mode and type,
// and command dispatch by the low word of wParam.
#include "resources/resource_ids.h"
#include "tests/e2e/scenario.h"

using namespace e2e;

TEST(LiveDisplay, FollowsModeAndTypeAndShowsUnknownOnesAsDashes) {
  struct Report {
    uint8_t mode, type;
    int16_t code;
    const char* shown;
  };
  const Report reports[] = {
      {2, 0, 0x7FFF, "100.00 | mV | Mode: スイープ | Type: ±100[mV]"},
      {1, 3, 16384, "10.000 | mA | Mode: 再現 | Type: 0-20[mA](外部電源)"},
      // Numbers the tables do not name are never looked up.
      {200, 9, 16384, "- |  | Mode: --- | Type: ---"},
      {0, 2, 0, "0.000 | mA | Mode: 通常 | Type: 0-20[mA](内部電源)"},
  };
  FakeInstrument fake;
  ProgramRun run;
  ASSERT_TRUE(StartedWithFake(run, fake));
  ASSERT_TRUE(Connected(run));
  for (const Report& r : reports) {
    ChangeBehaviour(fake, [&](FakeBehaviour& b) {
      b.live_mode = r.mode;
      b.live_type = r.type;
      b.live_code = r.code;
    });
    EXPECT_TRUE(WaitUntil([&] { return LiveTexts(run) == r.shown; })) << LiveTexts(run);
  }
}

TEST(WindowCommands, OnlyTheLowWordNamesTheCommand) {
  ProgramRun run;
  ASSERT_TRUE(Started(run, TcpConfig(1)));

  // A notification code in the high word does not change what runs.
  PostMessageW(run.window, WM_COMMAND, MAKEWPARAM(IDC_CONNECTION_SETTINGS, 0x1234), 0);
  DialogInfo dialog;
  ASSERT_TRUE(WaitForDialog(run, kWaitTimeoutMs, &dialog)) << "no connection dialog";
  EXPECT_NE(Control(dialog.window, IDC_CONN_OK), nullptr);
  Click(dialog.window, IDC_CONN_CANCEL);
  ASSERT_TRUE(WaitForDialogGone(dialog));

  // Without a link the clock command has nothing to talk to.
  PostMessageW(run.window, WM_COMMAND, MAKEWPARAM(IDC_CLOCK_SETTINGS, BN_CLICKED), 0);
  ASSERT_TRUE(Sync(run));
  EXPECT_TRUE(NoDialogWithin(run, 300)) << "the clock dialog opened while disconnected";

  // Unknown ids go to default processing and leave the window as it was.
  PostMessageW(run.window, WM_COMMAND, MAKEWPARAM(999, 1), 0);
  ASSERT_TRUE(Sync(run));
  EXPECT_TRUE(NoDialogWithin(run, 300));
  EXPECT_TRUE(IsEnabled(run, IDC_CONNECT));

  MenuCommand(run, IDM_EXIT);
  EXPECT_TRUE(ExitsWithZero(run));
}
