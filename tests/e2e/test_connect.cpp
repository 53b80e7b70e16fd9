// Connecting and disconnecting against a scripted instrument: what goes on the
// wire, the status bar, the controls of each state, the failure messages, and
// the link loss in its three forms (silent peer, dropped TCP, vanished port).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

using namespace e2e;

namespace {

constexpr uint8_t kConnect = 0x10;
constexpr uint8_t kDisconnect = 0x11;
constexpr uint8_t kGetOutput = 0xC2;

// A little more than 1000 poll ticks of 10 ms, with room for a slow machine.
constexpr int kLinkLossBoundMs = 40000;

// Controls of the three output pages (shared ids appear once).
const int kPageControls[] = {420,  421, 422, 423, 440, 501, 600, 900, 1200, 1201,
                             1202, 502, 503, 504, 505, 442, 300, 443, 444,  601};

const char* const kIdentity = "F/W Ver 1.05 (S/N:E2E00042)";

void ExpectDisconnectedWindow(const ProgramRun& run, const std::string& method) {
  EXPECT_EQ(StatusText(run, 0), method + "接続(未接続)");
  EXPECT_EQ(StatusText(run, 1), "");
  EXPECT_EQ(StatusText(run, 2), "");
  EXPECT_TRUE(IsEnabled(run, 400));
  EXPECT_FALSE(IsEnabled(run, 401));
  EXPECT_TRUE(IsEnabled(run, 402));
  EXPECT_FALSE(IsEnabled(run, 403));
  EXPECT_FALSE(IsEnabled(run, 441));
  for (int id : kPageControls) EXPECT_FALSE(IsEnabled(run, id)) << "control " << id;
  EXPECT_FALSE(IsEnabled(run, 506));
}

void ExpectConnectedWindow(const ProgramRun& run, const std::string& method) {
  EXPECT_EQ(StatusText(run, 0), method + "接続(接続中)");
  EXPECT_EQ(StatusText(run, 1), "");
  EXPECT_EQ(StatusText(run, 2), kIdentity);
  EXPECT_FALSE(IsEnabled(run, 400));
  EXPECT_TRUE(IsEnabled(run, 401));
  EXPECT_FALSE(IsEnabled(run, 402));
  EXPECT_TRUE(IsEnabled(run, 403));
  EXPECT_TRUE(IsEnabled(run, 441));
  for (int id : kPageControls) EXPECT_TRUE(IsEnabled(run, id)) << "control " << id;
}

bool ConnectAndWait(const ProgramRun& run) {
  Click(run, 400);
  return WaitUntil([&] { return IsEnabled(run, 401); }) && Sync(run);
}

std::vector<uint8_t> FirstCommands(const FakeInstrument& fake, size_t count) {
  std::vector<uint8_t> commands = ReceivedCommands(fake);
  if (commands.size() > count) commands.resize(count);
  return commands;
}

// Waits for the "接続失敗" box with this text, checks the window behind it
// and dismisses it; the wire is checked by the caller.
void ExpectConnectFailure(const ProgramRun& run, const char* text, int timeout_ms,
                          DialogInfo* box) {
  ASSERT_TRUE(WaitForDialog(run, timeout_ms, box)) << "no message box";
  EXPECT_EQ(box->caption, "接続失敗");
  EXPECT_EQ(box->text, text);
  DismissDialog(*box);
  ASSERT_TRUE(WaitForDialogGone(*box));
  ASSERT_TRUE(Sync(run));
}

// Waits for the lost-link box; the window must already be disconnected while it
// is up. Leaves the box dismissed.
void ExpectLinkLoss(const ProgramRun& run, const std::string& method) {
  DialogInfo box;
  ASSERT_TRUE(WaitForDialog(run, kLinkLossBoundMs, &box)) << "the loss was never reported";
  EXPECT_EQ(box.caption, "エラー");
  EXPECT_EQ(box.text, "通信が切断されました。");
  ExpectDisconnectedWindow(run, method);
  DismissDialog(box);
  ASSERT_TRUE(WaitForDialogGone(box));
  ASSERT_TRUE(Sync(run));
  EXPECT_TRUE(NoDialogWithin(run, 300)) << "a second message followed";
}

bool StillRunning(const ProgramRun& run) {
  return WaitForSingleObject(run.process.hProcess, 0) == WAIT_TIMEOUT;
}

// A pty pair of its own, mapped to two free COM ports, that a test may tear
// down to make the program's port vanish. The pair is made and removed by a
// shell script that Wine runs as a Unix program.
struct ScratchComPair {
  std::string dir;  // Unix path
  std::string program_com;
  std::string fake_com;
  ~ScratchComPair();
};

std::wstring WindowsPathOf(const std::string& unix_path) {
  std::wstring path = L"Z:";
  for (char c : unix_path) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

// Starts a shell script as a Unix program (Wine runs one when given one). Its
// process handle says nothing about the script, so each script ends by writing
// a marker file, and this waits for that file.
bool RunShell(const std::string& name, const std::string& script, const std::string& dir,
              const std::string& marker) {
  const std::string script_path = dir + "/" + name;
  if (!WriteTextFile(WindowsPathOf(script_path), script)) return false;
  const std::string line = "Z:\\bin\\sh \"" + script_path + "\" \"" + dir + "\"";
  std::wstring command(line.begin(), line.end());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  const std::wstring marker_path = WindowsPathOf(dir + "/" + marker);
  return WaitUntil([&] { return !ReadTextFile(marker_path).empty(); }, 10000);
}

const char kMakePair[] = R"sh(set -u
d=$1
[ -n "${WINEPREFIX:-}" ] || exit 2
socat pty,raw,echo=0,link="$d/program" pty,raw,echo=0,link="$d/fake" \
  </dev/null >/dev/null 2>"$d/socat.log" &
echo $! >"$d/socat.pid"
i=0
while [ ! -e "$d/program" ] || [ ! -e "$d/fake" ]; do
  i=$((i + 1)); [ $i -le 50 ] || exit 3; sleep 0.1
done
n=60
names=""
for end in program fake; do
  while [ -e "$WINEPREFIX/dosdevices/com$n" ] || [ -L "$WINEPREFIX/dosdevices/com$n" ]; do
    n=$((n + 1))
  done
  ln -s "$d/$end" "$WINEPREFIX/dosdevices/com$n"
  echo "$WINEPREFIX/dosdevices/com$n" >>"$d/links"
  names="$names COM$n"
  n=$((n + 1))
done
echo $names >"$d/ports.part"
mv "$d/ports.part" "$d/ports"
)sh";

// Stops socat by the pid it was started with: both pty ends vanish.
const char kClosePair[] = R"sh(set -u
d=$1
[ -s "$d/socat.pid" ] && kill "$(cat "$d/socat.pid")" 2>/dev/null
rm -f "$d/socat.pid"
echo closed >"$d/closed"
)sh";

const char kRemovePair[] = R"sh(set -u
d=$1
[ -s "$d/socat.pid" ] && kill "$(cat "$d/socat.pid")" 2>/dev/null
if [ -f "$d/links" ]; then
  while read -r link; do rm -f "$link"; done <"$d/links"
fi
echo removed >"$d/removed"
)sh";

bool MakeScratchComPair(ScratchComPair& pair) {
  const char* temp = std::getenv("RV_E2E_TEMP");
  if (temp == nullptr || *temp == 0) return false;
  pair.dir = std::string(temp) + "/pty-pair-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryW(WindowsPathOf(pair.dir).c_str(), nullptr);
  if (!RunShell("make-pair.sh", kMakePair, pair.dir, "ports")) return false;
  const std::string ports = ReadTextFile(WindowsPathOf(pair.dir + "/ports"));
  const size_t space = ports.find(' ');
  if (space == std::string::npos) return false;
  pair.program_com = ports.substr(0, space);
  pair.fake_com = ports.substr(space + 1);
  while (!pair.fake_com.empty() && (pair.fake_com.back() == '\n' || pair.fake_com.back() == '\r')) {
    pair.fake_com.pop_back();
  }
  return !pair.program_com.empty() && !pair.fake_com.empty();
}

ScratchComPair::~ScratchComPair() {
  if (!dir.empty()) RunShell("remove-pair.sh", kRemovePair, dir, "removed");
}

}  // namespace

TEST(Connect, OverTcpShowsIdentityLiveValuesAndDisconnectKeepsThem) {
  FakeInstrument fake;
  FakeBehaviour behaviour;
  behaviour.live_type = 1;
  behaviour.live_code = 16384;  // 5.000 V
  ASSERT_TRUE(StartFakeTcp(fake, behaviour));
  ProgramRun run;
  std::string error;
  // Endless replay configured: its count box stays disabled while connected.
  const std::string config = TcpConfig(fake.port) + "[OUTPUT]\r\nrepchk=1\r\n";
  ASSERT_TRUE(StartProgram(run, config.c_str(), &error)) << error;
  ExpectDisconnectedWindow(run, "Wi-Fi");

  ASSERT_TRUE(ConnectAndWait(run)) << "no connection";
  EXPECT_EQ(FirstCommands(fake, 3), (std::vector<uint8_t>{0x10, 0x42, 0x43}));
  EXPECT_EQ(Hex(ReceivedFrames(fake)[0].raw), "AA 10 00 00 00 BB");
  ExpectConnectedWindow(run, "Wi-Fi");
  EXPECT_FALSE(IsEnabled(run, 506));

  ASSERT_TRUE(WaitUntil([&] { return Text(run, 201) == "5.000"; })) << Text(run, 201);
  EXPECT_EQ(Text(run, 202), "V");
  EXPECT_EQ(Text(run, 203), "Mode: 通常");
  EXPECT_EQ(Text(run, 204), "Type: ±10[V]");

  ClearReceived(fake);
  Click(run, 401);
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(run, 400); }));
  ASSERT_TRUE(Sync(run));
  EXPECT_EQ(CountCommand(fake, kDisconnect), 1);
  EXPECT_TRUE(WaitUntil([&] { return !PeerConnected(fake); })) << "the socket stayed open";
  ExpectDisconnectedWindow(run, "Wi-Fi");
  EXPECT_EQ(Text(run, 201), "5.000");
  EXPECT_EQ(Text(run, 202), "V");
  EXPECT_EQ(Text(run, 203), "Mode: 通常");
  EXPECT_EQ(Text(run, 204), "Type: ±10[V]");
  // No live-value requests while disconnected.
  ClearReceived(fake);
  Sleep(1200);
  EXPECT_EQ(CountCommand(fake, kGetOutput), 0);

  // Reconnected, a report of the same mode and type rewrites the value only:
  // the other labels keep what is put into them here.
  ASSERT_TRUE(ConnectAndWait(run)) << "no second connection";
  EXPECT_EQ(FirstCommands(fake, 3), (std::vector<uint8_t>{0x10, 0x42, 0x43}));
  ASSERT_TRUE(SetText(run, 202, "unit?"));
  ASSERT_TRUE(SetText(run, 203, "mode?"));
  ASSERT_TRUE(SetText(run, 204, "type?"));
  ChangeBehaviour(fake, [](FakeBehaviour& b) { b.live_code = -16384; });
  ASSERT_TRUE(WaitUntil([&] { return Text(run, 201) == "-5.000"; })) << Text(run, 201);
  EXPECT_EQ(Text(run, 202), "unit?");
  EXPECT_EQ(Text(run, 203), "mode?");
  EXPECT_EQ(Text(run, 204), "type?");
}

TEST(Connect, OverSerialShowsUsbAndIdentity) {
  FakeInstrument fake;
  ASSERT_TRUE(StartFakeSerial(fake, FakeComPort()));
  ProgramRun run;
  std::string error;
  ASSERT_TRUE(StartProgram(run, SerialConfig(ProgramComPort()).c_str(), &error)) << error;
  ExpectDisconnectedWindow(run, "USB");
  ASSERT_TRUE(ConnectAndWait(run)) << "no connection";
  EXPECT_EQ(FirstCommands(fake, 3), (std::vector<uint8_t>{0x10, 0x42, 0x43}));
  ExpectConnectedWindow(run, "USB");
  EXPECT_TRUE(IsEnabled(run, 506));
  ASSERT_TRUE(WaitUntil([&] { return Text(run, 201) == "0.00"; })) << Text(run, 201);
  EXPECT_EQ(Text(run, 202), "mV");

  ClearReceived(fake);
  Click(run, 401);
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(run, 400); }));
  ASSERT_TRUE(Sync(run));
  EXPECT_EQ(CountCommand(fake, kDisconnect), 1);
  ExpectDisconnectedWindow(run, "USB");
}

TEST(Connect, MissingSerialPortFailsAtOnce) {
  ProgramRun run;
  std::string error;
  ASSERT_TRUE(StartProgram(run, SerialConfig("COM199").c_str(), &error)) << error;
  const uint64_t start = NowMs();
  Click(run, 400);
  DialogInfo box;
  ASSERT_TRUE(WaitForDialog(run, kWaitTimeoutMs, &box)) << "no message box";
  EXPECT_LT(NowMs() - start, 1500u) << "not at once";
  ExpectConnectFailure(run, "接続できませんでした。", kWaitTimeoutMs, &box);
  ExpectDisconnectedWindow(run, "USB");
}

TEST(Connect, SilentPeerFailsAfterTheWaitWithoutDisconnect) {
  FakeInstrument fake;
  FakeBehaviour behaviour;
  behaviour.silent = true;
  ASSERT_TRUE(StartFakeTcp(fake, behaviour));
  ProgramRun run;
  std::string error;
  ASSERT_TRUE(StartProgram(run, TcpConfig(fake.port).c_str(), &error)) << error;
  const uint64_t start = NowMs();
  Click(run, 400);
  DialogInfo box;
  ASSERT_TRUE(WaitForDialog(run, kWaitTimeoutMs, &box)) << "no message box";
  EXPECT_GE(NowMs() - start, 2000u) << "gave up before the wait was over";
  ExpectConnectFailure(run, "接続できませんでした。", kWaitTimeoutMs, &box);
  EXPECT_EQ(ReceivedCommands(fake), std::vector<uint8_t>{kConnect});
  EXPECT_TRUE(WaitUntil([&] { return !PeerConnected(fake); })) << "the socket stayed open";
  ExpectDisconnectedWindow(run, "Wi-Fi");
}

TEST(Connect, IdentificationFailuresSendDisconnectBeforeTheMessage) {
  struct Case {
    const char* name;
    void (*set)(FakeBehaviour&);
    const char* message;
    std::vector<uint8_t> wire;
  };
  const Case cases[] = {
      {"device code 1",
       [](FakeBehaviour& b) { b.device_code = 1; },
       "計測器が接続されていません。",
       {0x10, 0x42, kDisconnect}},
      {"version status 1",
       [](FakeBehaviour& b) { b.version_status = 1; },
       "計測器情報の取得に失敗しました。",
       {0x10, 0x42, kDisconnect}},
      {"serial status 3",
       [](FakeBehaviour& b) { b.serial_status = 3; },
       "計測器情報の取得に失敗しました。",
       {0x10, 0x42, 0x43, kDisconnect}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeInstrument fake;
    FakeBehaviour behaviour;
    c.set(behaviour);
    ASSERT_TRUE(StartFakeTcp(fake, behaviour));
    ProgramRun run;
    std::string error;
    ASSERT_TRUE(StartProgram(run, TcpConfig(fake.port).c_str(), &error)) << error;
    Click(run, 400);
    DialogInfo box;
    ASSERT_TRUE(WaitForDialog(run, kWaitTimeoutMs, &box)) << "no message box";
    // Already on the wire while the box is up.
    EXPECT_EQ(ReceivedCommands(fake), c.wire);
    ExpectConnectFailure(run, c.message, kWaitTimeoutMs, &box);
    ExpectDisconnectedWindow(run, "Wi-Fi");
  }
}

TEST(Connect, SilentPeerAfterConnectingIsALinkLossAndReconnectWorks) {
  FakeInstrument fake;
  ASSERT_TRUE(StartFakeTcp(fake));
  ProgramRun run;
  std::string error;
  ASSERT_TRUE(StartProgram(run, TcpConfig(fake.port).c_str(), &error)) << error;
  ASSERT_TRUE(ConnectAndWait(run)) << "no connection";
  ASSERT_TRUE(WaitForCommand(fake, kGetOutput, 2000));

  ChangeBehaviour(fake, [](FakeBehaviour& b) { b.silent = true; });
  const uint64_t silent_since = NowMs();
  ExpectLinkLoss(run, "Wi-Fi");
  // More than 1000 ticks of at least 10 ms each.
  EXPECT_GE(NowMs() - silent_since, 9500u);
  EXPECT_EQ(CountCommand(fake, kDisconnect), 0);
  // Nothing is requested once the link is given up.
  const size_t frames = ReceivedFrames(fake).size();
  Sleep(1200);
  EXPECT_EQ(ReceivedFrames(fake).size(), frames);

  ChangeBehaviour(fake, [](FakeBehaviour& b) { b.silent = false; });
  ClearReceived(fake);
  ASSERT_TRUE(ConnectAndWait(run)) << "no connection after the loss";
  EXPECT_EQ(FirstCommands(fake, 3), (std::vector<uint8_t>{0x10, 0x42, 0x43}));
  ExpectConnectedWindow(run, "Wi-Fi");
  EXPECT_TRUE(WaitForCommand(fake, kGetOutput, 2000));
}

TEST(Connect, PeerDroppingTcpIsALinkLoss) {
  FakeInstrument fake;
  ASSERT_TRUE(StartFakeTcp(fake));
  ProgramRun run;
  std::string error;
  ASSERT_TRUE(StartProgram(run, TcpConfig(fake.port).c_str(), &error)) << error;
  ASSERT_TRUE(ConnectAndWait(run)) << "no connection";
  DropConnection(fake);
  ExpectLinkLoss(run, "Wi-Fi");
  EXPECT_TRUE(StillRunning(run));
  ASSERT_TRUE(ConnectAndWait(run)) << "no connection after the drop";
  EXPECT_EQ(ConnectionCount(fake), 2);
  ExpectConnectedWindow(run, "Wi-Fi");
}

TEST(Connect, VanishingSerialPortIsALinkLoss) {
  ScratchComPair pair;
  ASSERT_TRUE(MakeScratchComPair(pair)) << "no pty pair in " << pair.dir;
  FakeInstrument fake;
  ASSERT_TRUE(StartFakeSerial(fake, pair.fake_com));
  ProgramRun run;
  std::string error;
  ASSERT_TRUE(StartProgram(run, SerialConfig(pair.program_com).c_str(), &error)) << error;
  ASSERT_TRUE(ConnectAndWait(run)) << "no connection";
  ASSERT_TRUE(WaitForCommand(fake, kGetOutput, 2000));
  ASSERT_TRUE(RunShell("close-pair.sh", kClosePair, pair.dir, "closed"));
  ExpectLinkLoss(run, "USB");
  EXPECT_TRUE(StillRunning(run));
}

TEST(Connect, ClosingWhileConnectedDisconnectsBeforeSaving) {
  FakeInstrument fake;
  ASSERT_TRUE(StartFakeTcp(fake));
  ProgramRun run;
  std::string error;
  ASSERT_TRUE(StartProgram(run, TcpConfig(fake.port).c_str(), &error)) << error;
  ASSERT_TRUE(ConnectAndWait(run)) << "no connection";
  const std::string before = ConfigText(run);
  // The acknowledgement of 0x11 comes late, so the save can be seen to wait for it.
  ChangeBehaviour(fake, [](FakeBehaviour& b) { b.delay_ms = 1000; });
  ClearReceived(fake);
  CloseWindow(run);
  ASSERT_TRUE(WaitForCommand(fake, kDisconnect, kWaitTimeoutMs));
  EXPECT_EQ(ConfigText(run), before) << "saved before the disconnect was answered";
  DWORD code = 99;
  ASSERT_TRUE(WaitForExit(run, kWaitTimeoutMs, &code)) << "the program did not end";
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(PeerConnected(fake));
  EXPECT_NE(ConfigText(run), before) << "the output settings were not saved";
  EXPECT_EQ(CountCommand(fake, kDisconnect), 1);
}
