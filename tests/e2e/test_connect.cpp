// Connecting and disconnecting against a scripted instrument: what goes on the
// wire, the status bar, the controls of each state, the failure messages, and
// the link loss in its three forms (silent peer, dropped TCP, vanished port).
#include <string>
#include <vector>

#include "tests/e2e/scenario.h"

using namespace e2e;

namespace {

constexpr uint8_t kConnect = 0x10;
constexpr uint8_t kDisconnect = 0x11;
constexpr uint8_t kGetOutput = 0xC2;

// A little more than the 10 s of silence that lose the link, with room for a slow machine.
constexpr int kLinkLossBoundMs = 40000;

// Controls of the three output pages (shared ids appear once).
const int kPageControls[] = {420,  421, 422, 423, 440, 501, 600, 900, 1200, 1201,
                             1202, 502, 503, 504, 505, 442, 300, 443, 444,  601};

const char* const kIdentity = "F/W Ver 1.05 (S/N:E2E00042)";

void ExpectWindow(const ProgramRun& run, const std::string& method, bool connected) {
  EXPECT_EQ(StatusText(run, 0), method + (connected ? "接続(接続中)" : "接続(未接続)"));
  EXPECT_EQ(StatusText(run, 1), "");
  EXPECT_EQ(StatusText(run, 2), connected ? kIdentity : "");
  for (int id : {400, 402}) EXPECT_EQ(IsEnabled(run, id), !connected) << "control " << id;
  for (int id : {401, 403, 441}) EXPECT_EQ(IsEnabled(run, id), connected) << "control " << id;
  for (int id : kPageControls) EXPECT_EQ(IsEnabled(run, id), connected) << "control " << id;
  // The replay count box also depends on the endless choice.
  if (!connected) EXPECT_FALSE(IsEnabled(run, 506));
}

std::vector<uint8_t> FirstCommands(const FakeInstrument& fake, size_t count) {
  std::vector<uint8_t> commands = ReceivedCommands(fake);
  if (commands.size() > count) commands.resize(count);
  return commands;
}

// Waits for the lost-link box; the window must already be disconnected while it
// is up. Leaves the box dismissed.
void ExpectLinkLoss(const ProgramRun& run, const std::string& method) {
  DialogInfo box;
  ASSERT_TRUE(WaitForDialog(run, kLinkLossBoundMs, &box)) << "the loss was never reported";
  ExpectWindow(run, method, false);
  ASSERT_TRUE(MessageShown(run, "エラー", "通信が切断されました。"));
  EXPECT_TRUE(NoDialogWithin(run, 300)) << "a second message followed";
}

bool StillRunning(const ProgramRun& run) {
  return WaitForSingleObject(run.process.hProcess, 0) == WAIT_TIMEOUT;
}

const std::vector<uint8_t> kIdentification = {kConnect, 0x42, 0x43};

}  // namespace

TEST(Connect, OverTcpShowsIdentityLiveValuesAndDisconnectKeepsThem) {
  FakeInstrument fake;
  FakeBehaviour behaviour;
  behaviour.live_type = 1;
  behaviour.live_code = 16384;  // 5.000 V
  ASSERT_TRUE(StartFakeTcp(fake, behaviour));
  ProgramRun run;
  // Endless replay configured: its count box stays disabled while connected.
  ASSERT_TRUE(Started(run, TcpConfig(fake.port) + "[OUTPUT]\r\nrepchk=1\r\n"));
  ExpectWindow(run, "Wi-Fi", false);

  ASSERT_TRUE(Connected(run));
  EXPECT_EQ(FirstCommands(fake, 3), kIdentification);
  EXPECT_EQ(Hex(ReceivedFrames(fake)[0].raw), "AA 10 00 00 00 BB");
  ExpectWindow(run, "Wi-Fi", true);
  EXPECT_FALSE(IsEnabled(run, 506));
  // Posted by another program, the settings command would change the
  // transport under the open link: it opens nothing.
  PostMessageW(run.window, WM_COMMAND, MAKEWPARAM(402, BN_CLICKED), 0);
  EXPECT_TRUE(Sync(run));
  EXPECT_TRUE(NoDialogWithin(run, 300));

  const std::string live = "5.000 | V | Mode: 通常 | Type: ±10[V]";
  ASSERT_TRUE(WaitUntil([&] { return LiveTexts(run) == live; })) << LiveTexts(run);

  ClearReceived(fake);
  ASSERT_TRUE(Disconnected(run));
  EXPECT_EQ(CountCommand(fake, kDisconnect), 1);
  EXPECT_TRUE(WaitUntil([&] { return !PeerConnected(fake); })) << "the socket stayed open";
  ExpectWindow(run, "Wi-Fi", false);
  EXPECT_EQ(LiveTexts(run), live);
  // No live-value requests while disconnected.
  ClearReceived(fake);
  Sleep(1200);
  EXPECT_EQ(CountCommand(fake, kGetOutput), 0);

  // Reconnected, a report of the same mode and type rewrites the value only:
  // the other labels keep what is put into them here.
  ASSERT_TRUE(Connected(run)) << "no second connection";
  EXPECT_EQ(FirstCommands(fake, 3), kIdentification);
  for (int id : {202, 203, 204}) ASSERT_TRUE(SetText(run, id, "?"));
  ChangeBehaviour(fake, [](FakeBehaviour& b) { b.live_code = -16384; });
  EXPECT_TRUE(WaitUntil([&] { return LiveTexts(run) == "-5.000 | ? | ? | ?"; })) << LiveTexts(run);
}

TEST(Connect, OverSerialShowsUsbAndIdentity) {
  FakeInstrument fake;
  ASSERT_TRUE(StartFakeSerial(fake, FakeComPort()));
  ProgramRun run;
  ASSERT_TRUE(Started(run, SerialConfig(ProgramComPort())));
  ExpectWindow(run, "USB", false);
  ASSERT_TRUE(Connected(run));
  EXPECT_EQ(FirstCommands(fake, 3), kIdentification);
  ExpectWindow(run, "USB", true);
  EXPECT_TRUE(IsEnabled(run, 506));
  ASSERT_TRUE(WaitUntil([&] { return Text(run, 201) == "0.00"; })) << Text(run, 201);
  EXPECT_EQ(Text(run, 202), "mV");

  ClearReceived(fake);
  ASSERT_TRUE(Disconnected(run));
  EXPECT_EQ(CountCommand(fake, kDisconnect), 1);
  ExpectWindow(run, "USB", false);
}

TEST(Connect, MissingSerialPortFailsAtOnce) {
  ProgramRun run;
  ASSERT_TRUE(Started(run, SerialConfig("COM199")));
  const uint64_t start = NowMs();
  Click(run, 400);
  ASSERT_TRUE(WaitForDialog(run, kWaitTimeoutMs, nullptr)) << "no message box";
  EXPECT_LT(NowMs() - start, 1500u) << "not at once";
  EXPECT_TRUE(MessageShown(run, "接続失敗", "接続できませんでした。"));
  ExpectWindow(run, "USB", false);
}

// The wire is read while the message is still up: a disconnect, when one is
// due, goes out before the message.
TEST(Connect, FailuresSendDisconnectOnlyToAnInstrumentThatAnswered) {
  struct Case {
    const char* name;
    void (*set)(FakeBehaviour&);
    const char* message;
    std::vector<uint8_t> wire;
    uint64_t at_least_ms;
  };
  const Case cases[] = {
      {"silent peer",
       [](FakeBehaviour& b) { b.silent = true; },
       "接続できませんでした。",
       {kConnect},
       2000},
      {"device code 1",
       [](FakeBehaviour& b) { b.device_code = 1; },
       "計測器が接続されていません。",
       {kConnect, 0x42, kDisconnect},
       0},
      {"version status 1",
       [](FakeBehaviour& b) { b.version_status = 1; },
       "計測器情報の取得に失敗しました。",
       {kConnect, 0x42, kDisconnect},
       0},
      {"serial status 3",
       [](FakeBehaviour& b) { b.serial_status = 3; },
       "計測器情報の取得に失敗しました。",
       {kConnect, 0x42, 0x43, kDisconnect},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeInstrument fake;
    FakeBehaviour behaviour;
    c.set(behaviour);
    ProgramRun run;
    ASSERT_TRUE(StartedWithFake(run, fake, behaviour));
    const uint64_t start = NowMs();
    Click(run, 400);
    ASSERT_TRUE(WaitForDialog(run, kWaitTimeoutMs, nullptr)) << "no message box";
    EXPECT_GE(NowMs() - start, c.at_least_ms) << "gave up before the wait was over";
    EXPECT_EQ(ReceivedCommands(fake), c.wire);
    EXPECT_TRUE(MessageShown(run, "接続失敗", c.message));
    EXPECT_TRUE(WaitUntil([&] { return !PeerConnected(fake); })) << "the socket stayed open";
    ExpectWindow(run, "Wi-Fi", false);
  }
}

TEST(Connect, SilentPeerAfterConnectingIsALinkLossAndReconnectWorks) {
  FakeInstrument fake;
  ProgramRun run;
  ASSERT_TRUE(StartedWithFake(run, fake));
  ASSERT_TRUE(Connected(run));
  ASSERT_TRUE(WaitForCommand(fake, kGetOutput, 2000));

  ChangeBehaviour(fake, [](FakeBehaviour& b) { b.silent = true; });
  const uint64_t silent_since = NowMs();
  ExpectLinkLoss(run, "Wi-Fi");
  // Lost only after more than 10 s without a valid frame.
  EXPECT_GE(NowMs() - silent_since, 9500u);
  EXPECT_EQ(CountCommand(fake, kDisconnect), 0);
  // Nothing is requested once the link is given up.
  const size_t frames = ReceivedFrames(fake).size();
  Sleep(1200);
  EXPECT_EQ(ReceivedFrames(fake).size(), frames);

  ChangeBehaviour(fake, [](FakeBehaviour& b) { b.silent = false; });
  ClearReceived(fake);
  ASSERT_TRUE(Connected(run)) << "no connection after the loss";
  EXPECT_EQ(FirstCommands(fake, 3), kIdentification);
  ExpectWindow(run, "Wi-Fi", true);
  EXPECT_TRUE(WaitForCommand(fake, kGetOutput, 2000));
}

// A wrong peer answers the connect with the head of a very long frame and keeps
// talking through the whole wait; what it leaves in the parser must not cost
// the next, proper instrument its first answer.
TEST(Connect, AWrongPeersHalfFrameDoesNotSpoilTheNextConnect) {
  FakeInstrument fake;
  FakeBehaviour wrong;
  wrong.custom = [](const Frame& request, Bytes* answer) {
    if (request.command == kConnect) *answer = {0x55, kConnect, 0x00, 0xFF, 0xFF};
    return true;
  };
  ProgramRun run;
  ASSERT_TRUE(StartedWithFake(run, fake, wrong));
  Click(run, 400);
  const bool failed = WaitUntil(
      [&] {
        SendRaw(fake, Bytes(8, 0x00));
        Sleep(50);
        return !OpenDialogs(run).empty();
      },
      kWaitTimeoutMs);
  ASSERT_TRUE(failed) << "no message box";
  ASSERT_TRUE(MessageShown(run, "接続失敗", "接続できませんでした。"));

  ChangeBehaviour(fake, [](FakeBehaviour& b) { b.custom = nullptr; });
  ClearReceived(fake);
  ASSERT_TRUE(Connected(run)) << "the second connect failed";
  EXPECT_EQ(FirstCommands(fake, 3), kIdentification);
  EXPECT_TRUE(NoDialogWithin(run, 300));
}

// At log-off the system asks, then ends the session and the process, without
// WM_DESTROY: the instrument is told and the typed entries are kept.
TEST(Connect, SessionEndDisconnectsAndSavesBeforeTheProcessIsKilled) {
  FakeInstrument fake;
  ProgramRun run;
  ASSERT_TRUE(StartedWithFake(run, fake));
  ASSERT_TRUE(Connected(run));
  ASSERT_TRUE(SetText(run, 501, "12.5"));
  ASSERT_TRUE(SetText(run, 504, "321"));

  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(run.window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                  SMTO_ABORTIFHUNG, kWaitTimeoutMs, &answer));
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE)) << "the session end was refused";
  ASSERT_TRUE(SendMessageTimeoutW(run.window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF,
                                  SMTO_ABORTIFHUNG, kWaitTimeoutMs, &answer));
  KillProgram(run);

  EXPECT_EQ(CountCommand(fake, kDisconnect), 1);
  const std::string saved = ConfigText(run);
  EXPECT_EQ(IniValue(saved, "OUTPUT_CONF0", "value"), "12.500000");
  EXPECT_EQ(IniValue(saved, "OUTPUT_CONF0", "sweep_t1"), "321");
}

TEST(Connect, PeerDroppingTcpIsALinkLoss) {
  FakeInstrument fake;
  ProgramRun run;
  ASSERT_TRUE(StartedWithFake(run, fake));
  ASSERT_TRUE(Connected(run));
  DropConnection(fake);
  ExpectLinkLoss(run, "Wi-Fi");
  EXPECT_TRUE(StillRunning(run));
  ASSERT_TRUE(Connected(run)) << "no connection after the drop";
  EXPECT_EQ(ConnectionCount(fake), 2);
  ExpectWindow(run, "Wi-Fi", true);
}

TEST(Connect, VanishingSerialPortIsALinkLoss) {
  // The runner's second simulator closes its pty after five frames.
  const std::string port = VanishingComPort();
  if (port.empty()) GTEST_SKIP() << "no simulator";
  ProgramRun run;
  ASSERT_TRUE(Started(run, SerialConfig(port)));
  ASSERT_TRUE(Connected(run));
  ExpectLinkLoss(run, "USB");
  EXPECT_TRUE(StillRunning(run));
}

TEST(Connect, ClosingWhileConnectedDisconnectsBeforeSaving) {
  FakeInstrument fake;
  ProgramRun run;
  ASSERT_TRUE(StartedWithFake(run, fake));
  ASSERT_TRUE(Connected(run));
  const std::string before = ConfigText(run);
  // The acknowledgement of 0x11 comes late, so the save can be seen to wait for it.
  ChangeBehaviour(fake, [](FakeBehaviour& b) { b.delay_ms = 1000; });
  ClearReceived(fake);
  CloseWindow(run);
  ASSERT_TRUE(WaitForCommand(fake, kDisconnect, kWaitTimeoutMs));
  EXPECT_EQ(ConfigText(run), before) << "saved before the disconnect was answered";
  ASSERT_TRUE(ExitsWithZero(run));
  EXPECT_FALSE(PeerConnected(fake));
  EXPECT_NE(ConfigText(run), before) << "the output settings were not saved";
  EXPECT_EQ(CountCommand(fake, kDisconnect), 1);
}
