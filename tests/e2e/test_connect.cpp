// Connecting and disconnecting: what goes on the wire, the status bar, the
// controls of each state, the live display, the failure messages, the link
// loss in its three forms (silent peer, dropped TCP, vanished port), the
// stalls and broken replies that are none, and what the ends of the program do
// to an open link.
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

// The simulator's and the fake's.
const char kIdentity[] = "F/W Ver 1.05 (S/N:RS620042)";
const std::vector<uint8_t> kIdentification = {kConnect, 0x42, 0x43};

std::vector<uint8_t> FirstCommands(FakeInstrument& fake) {
  std::vector<uint8_t> commands = fake.Commands();
  commands.resize(std::min<size_t>(commands.size(), 3));
  return commands;
}

// Waits for the lost-link box; the window must already be disconnected while it
// is up. Leaves the box dismissed and the program running.
void ExpectLinkLoss(const ProgramRun& run, const std::string& method) {
  ASSERT_TRUE(run.WaitForDialog(kLinkLossBoundMs, nullptr)) << "the loss was never reported";
  ExpectWindow(run, method, "");
  ASSERT_TRUE(MessageShown(run, "エラー", "通信が切断されました。"));
  EXPECT_TRUE(run.NoDialogWithin(300)) << "a second message followed";
  EXPECT_TRUE(run.Running()) << "the program ended";
}

class Connect : public Scenario {};

}  // namespace

TEST_F(Connect, OverTcpShowsIdentityFollowsTheLiveReportAndSessionEndDisconnectsAndSaves) {
  // Endless replay configured: its count box stays disabled while connected.
  ASSERT_TRUE(StartedWithFake(run, fake, {}, "[OUTPUT]\r\nrepchk=1\r\n"));
  ExpectWindow(run, "Wi-Fi", "");
  ASSERT_TRUE(Connected(run));
  EXPECT_EQ(FirstCommands(fake), kIdentification);
  EXPECT_EQ(Hex(fake.Frames()[0].raw), "AA 10 00 00 00 BB");
  ExpectWindow(run, "Wi-Fi", kIdentity);
  EXPECT_FALSE(run.Enabled(506));
  // Posted by another program, the settings command would change the
  // transport under the open link: it opens nothing.
  run.Click(402);
  EXPECT_TRUE(run.Sync());
  EXPECT_TRUE(run.NoDialogWithin(300));

  // Mode, type and the code's two bytes, as 0xC2 reports them.
  const std::pair<Bytes, const char*> reports[] = {
      {{2, 0, 0x7F, 0xFF}, "100.00 | mV | Mode: スイープ | Type: ±100[mV]"},
      {{1, 3, 0x40, 0x00}, "10.000 | mA | Mode: 再現 | Type: 0-20[mA](外部電源)"},
      {{0, 2, 0x00, 0x00}, "0.000 | mA | Mode: 通常 | Type: 0-20[mA](内部電源)"},
      {{0, 1, 0x40, 0x00}, "5.000 | V | Mode: 通常 | Type: ±10[V]"},
  };
  for (const auto& [live, shown] : reports) {
    fake.Change([&](FakeScript& s) { s.answers[kGetOutput] = live; });
    EXPECT_TRUE(WaitUntil([&] { return LiveTexts(run) == shown; })) << LiveTexts(run);
  }

  // A reply that declares 1025 data bytes never completes; once the instrument
  // has paused for 2 s, the next good reply is read at once again.
  fake.Change([](FakeScript& s) { s.answers[kGetOutput] = Bytes(1025, 0); });
  fake.Clear();
  ASSERT_TRUE(fake.WaitFor(kGetOutput, 2000));
  fake.Change([](FakeScript& s) { s.answers[kGetOutput] = std::nullopt; });
  Sleep(2000);
  fake.Change([&](FakeScript& s) { s.answers[kGetOutput] = reports[0].first; });
  EXPECT_TRUE(WaitUntil([&] { return LiveTexts(run) == reports[0].second; }, 1500))
      << "blinded by the broken reply: " << LiveTexts(run);
  fake.Change([&](FakeScript& s) { s.answers[kGetOutput] = reports[3].first; });
  ASSERT_TRUE(WaitUntil([&] { return LiveTexts(run) == reports[3].second; }));

  fake.Clear();
  ASSERT_TRUE(Disconnected(run));
  EXPECT_EQ(fake.Count(kDisconnect), 1);
  EXPECT_TRUE(WaitUntil([&] { return !fake.PeerConnected(); })) << "the socket stayed open";
  ExpectWindow(run, "Wi-Fi", "");
  EXPECT_EQ(LiveTexts(run), reports[3].second);
  // No live-value requests while disconnected.
  fake.Clear();
  Sleep(1200);
  EXPECT_EQ(fake.Count(kGetOutput), 0);

  // Reconnected, a report of the same mode and type rewrites the value only:
  // the other labels keep what is put into them here.
  ASSERT_TRUE(Connected(run)) << "no second connection";
  EXPECT_EQ(FirstCommands(fake), kIdentification);
  for (int id : {202, 203, 204}) ASSERT_TRUE(run.SetText(id, "?"));
  fake.Change([](FakeScript& s) { s.answers[kGetOutput] = Bytes{0, 1, 0xC0, 0x00}; });
  EXPECT_TRUE(WaitUntil([&] { return LiveTexts(run) == "-5.000 | ? | ? | ?"; })) << LiveTexts(run);

  // At log-off the system asks, then ends the session and the process, without
  // WM_DESTROY: the instrument is told and the typed entries are kept.
  ASSERT_TRUE(run.SetText(501, "12.5"));
  ASSERT_TRUE(run.SetText(504, "321"));
  fake.Clear();
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(run.window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                  SMTO_ABORTIFHUNG, kWaitTimeoutMs, &answer));
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE)) << "the session end was refused";
  ASSERT_TRUE(SendMessageTimeoutW(run.window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF,
                                  SMTO_ABORTIFHUNG, kWaitTimeoutMs, &answer));
  run.Kill();
  EXPECT_EQ(fake.Count(kDisconnect), 1);
  EXPECT_EQ(IniValues(run.Config(), {"OUTPUT_CONF0/value", "OUTPUT_CONF0/sweep_t1"}),
            (Strings{"12.500000", "321"}));
}

// The simulators on their ptys; the bytes of the serial line are the transport tests' business.
TEST_F(Connect, OverSerialShowsUsbAndIdentityAndAVanishingPortIsALinkLoss) {
  if (kSimulatorComPort.empty()) GTEST_SKIP() << "no simulator";
  ASSERT_TRUE(Started(run, LinkConfig(kSimulatorComPort)));
  ExpectWindow(run, "USB", "");
  ASSERT_TRUE(Connected(run));
  ExpectWindow(run, "USB", kIdentity);
  EXPECT_TRUE(run.Enabled(506));
  EXPECT_TRUE(WaitUntil([&] { return run.Text(201) != "-------"; })) << "no live value";
  ASSERT_TRUE(Disconnected(run));
  ExpectWindow(run, "USB", "");

  // The third takes no bytes for a while after the identification: shorter
  // than the loss time, so the window stays connected and shows the live
  // value once the port moves again.
  ASSERT_TRUE(Started(run, LinkConfig(kStallingComPort)));
  ASSERT_TRUE(Connected(run));
  Sleep(kStallMs / 2);
  EXPECT_EQ(run.Text(201), "-------") << "no stall";
  EXPECT_TRUE(WaitUntil([&] { return run.Text(201) != "-------"; }, kStallMs + 3000));
  EXPECT_TRUE(run.NoDialogWithin(0));
  ExpectWindow(run, "USB", kIdentity);

  // The session's second simulator closes its pty after five frames.
  ASSERT_TRUE(Started(run, LinkConfig(kVanishingComPort)));
  ASSERT_TRUE(Connected(run));
  ExpectLinkLoss(run, "USB");
}

// The wire is read while the message is still up: a disconnect, when one is
// due, goes out before the message. A serial port that is not there fails at
// once; so does a name in lower case, which is no COM name to this program:
// nothing is opened, so the connect command cannot be sent. A second 接続,
// posted while the first runs, is ignored.
TEST_F(Connect, FailuresShowTheirMessageAndDisconnectOnlyAnInstrumentThatAnswered) {
  const char kNoLink[] = "接続できませんでした。";
  const char kNoInfo[] = "計測器情報の取得に失敗しました。";
  const char kNoDevice[] = "計測器が接続されていません。";
  struct Case {
    const char* name;
    std::vector<const char*> options;  // the fake's
    const char* message;
    std::vector<uint8_t> wire;
    uint64_t min_ms, max_ms = kWaitTimeoutMs;
    const char* com_port = nullptr;  // null: over TCP to the fake
  };
  const Case cases[] = {
      {"missing serial port", {}, kNoLink, {}, 0, 1500, "COM199"},
      {"lower-case port name", {}, kNoLink, {}, 0, 1500, "com199"},
      {"silent peer", {"--silent"}, kNoLink, {kConnect}, 2000},
      {"device code 1", {"--device-code", "1"}, kNoDevice, {kConnect, 0x42, kDisconnect}, 0},
      {"version status 1", {"--status", "0x42=1"}, kNoInfo, {kConnect, 0x42, kDisconnect}, 0},
      {"serial status 3", {"--status", "0x43=3"}, kNoInfo, {kConnect, 0x42, 0x43, kDisconnect}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeInstrument fake;
    ProgramRun run;
    ASSERT_TRUE(c.com_port != nullptr ? Started(run, LinkConfig(c.com_port))
                                      : StartedWithFake(run, fake, c.options));
    const uint64_t start = GetTickCount64();
    run.Click(400);
    run.Click(400);
    ASSERT_TRUE(run.WaitForDialog(kWaitTimeoutMs, nullptr)) << "no message box";
    EXPECT_GE(GetTickCount64() - start, c.min_ms) << "gave up before the wait was over";
    EXPECT_LT(GetTickCount64() - start, c.max_ms) << "not at once";
    EXPECT_TRUE(MessageShown(run, "接続失敗", c.message));
    EXPECT_TRUE(run.NoDialogWithin(300)) << "a second connect";
    EXPECT_EQ(fake.Commands(), c.wire);
    EXPECT_TRUE(WaitUntil([&] { return !fake.PeerConnected(); })) << "the socket stayed open";
    ExpectWindow(run, c.com_port != nullptr ? "USB" : "Wi-Fi", "");
  }
}

TEST_F(Connect, SilentOrDroppingPeerIsALinkLossAndReconnectWorks) {
  ConnectToFake();
  ASSERT_TRUE(fake.WaitFor(kGetOutput, 2000));

  fake.Change([](FakeScript& s) { s.model.options.silent = true; });
  const uint64_t silent_since = GetTickCount64();
  ExpectLinkLoss(run, "Wi-Fi");
  // Lost only after more than 10 s without a valid frame.
  EXPECT_GE(GetTickCount64() - silent_since, 9500u);
  EXPECT_EQ(fake.Count(kDisconnect), 0);
  // Nothing is requested once the link is given up.
  const size_t frames = fake.Frames().size();
  Sleep(1200);
  EXPECT_EQ(fake.Frames().size(), frames);

  fake.Change([](FakeScript& s) { s.model.options.silent = false; });
  fake.Clear();
  ASSERT_TRUE(Connected(run)) << "no connection after the loss";
  EXPECT_EQ(FirstCommands(fake), kIdentification);
  ExpectWindow(run, "Wi-Fi", kIdentity);
  EXPECT_TRUE(fake.WaitFor(kGetOutput, 2000));

  fake.Drop();
  ExpectLinkLoss(run, "Wi-Fi");
  ASSERT_TRUE(Connected(run)) << "no connection after the drop";
  EXPECT_EQ(fake.Connections(), 3);
  ExpectWindow(run, "Wi-Fi", kIdentity);
}

// The close box's way out (the menu's is in test_startup.cpp) saves the
// entries of every type, once the disconnect's exchange is over.
TEST_F(Connect, ClosingWhileConnectedDisconnectsThenSavesTheEntries) {
  ConnectToFake();
  run.SetText(501, "12.5");
  ChooseType(run, 1);  // takes the type-0 entries
  const std::pair<int, const char*> typed[] = {
      {501, "-2.25"}, {502, "-7"}, {505, "700"}, {506, "42"}};
  for (const auto& [id, text] : typed) run.SetText(id, text);
  const std::string before = run.Config();
  // 0x11 goes unanswered, so the save can be seen to wait out its exchange.
  fake.Change([](FakeScript& s) { s.answers[kDisconnect] = std::nullopt; });
  fake.Clear();
  run.CloseBox();
  ASSERT_TRUE(fake.WaitFor(kDisconnect, kWaitTimeoutMs));
  EXPECT_EQ(run.Config(), before) << "saved before the disconnect's exchange was over";
  ASSERT_TRUE(ExitsWithZero(run));
  EXPECT_FALSE(fake.PeerConnected());
  EXPECT_EQ(fake.Count(kDisconnect), 1);
  EXPECT_EQ(
      IniValues(run.Config(), {"OUTPUT/type", "OUTPUT_CONF0/value", "OUTPUT_CONF1/value",
                               "OUTPUT_CONF1/sweep_a", "OUTPUT_CONF1/sweep_t2", "OUTPUT/repnum"}),
      (Strings{"1", "12.500000", "-2.250000", "-7.000000", "700", "42"}));
}
