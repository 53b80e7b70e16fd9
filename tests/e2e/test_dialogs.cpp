// The about box, the connection settings dialog with its port list, the clock
// dialog against a scripted instrument, and commands posted to the window.
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <setupapi.h>
// clang-format on

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/scenario.h"

using namespace e2e;

namespace {

constexpr uint8_t kSetClock = 0x40;
constexpr uint8_t kGetClock = 0x41;
const char kNoAnswer[] = "計測器から応答がありませんでした。";
const char kClockText[] = "計測器の現在時刻は 2024/3/5 14:07:09 です。";

// What Enter and Esc send when no button has the focus: the standard
// commands. The two dialogs that ignore them must stay open.
void ExpectStandardCommandsIgnored(const ProgramRun& run, const Dialog& dialog) {
  dialog.Click(IDOK);
  dialog.Click(IDCANCEL);
  EXPECT_TRUE(run.Sync() && IsWindowVisible(dialog.window)) << dialog.caption;
  EXPECT_EQ(run.Dialogs().size(), 1u) << "a message box came up";
}

// Serial port devices registered through the Setup API with the port
// interface, so that the program's enumeration lists them (Wine lists none for
// the COM ports mapped in dosdevices). Removed again at the end of the test.
class SerialPorts {
 public:
  explicit SerialPorts(const std::vector<std::wstring>& names) {
    for (const std::wstring& name : names) ok_ = ok_ && Add(name);
  }
  ~SerialPorts() {
    for (SP_DEVINFO_DATA& device : added_) SetupDiRemoveDevice(devices_, &device);
    SetupDiDestroyDeviceInfoList(devices_);
  }
  bool ok() const { return ok_; }

 private:
  static constexpr GUID kPortsClass = {
      0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
  static constexpr GUID kComPortInterface = {
      0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

  bool Add(const std::wstring& name) {
    SP_DEVINFO_DATA device{};
    SP_DEVICE_INTERFACE_DATA interface_data{};
    device.cbSize = sizeof device;
    interface_data.cbSize = sizeof interface_data;
    if (!SetupDiCreateDeviceInfoW(devices_, (L"ROOT\\RVSOLAE2E\\" + name).c_str(), &kPortsClass,
                                  nullptr, nullptr, 0, &device) ||
        !SetupDiRegisterDeviceInfo(devices_, &device, 0, nullptr, nullptr, nullptr)) {
      return false;
    }
    added_.push_back(device);
    HKEY key = nullptr;
    if (!SetupDiCreateDeviceInterfaceW(devices_, &device, &kComPortInterface, nullptr, 0,
                                       &interface_data) ||
        (key = SetupDiCreateDevRegKeyW(devices_, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr,
                                       nullptr)) == INVALID_HANDLE_VALUE) {
      return false;
    }
    const LONG written =
        RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
  }

  HDEVINFO devices_ = SetupDiCreateDeviceInfoList(&kPortsClass, nullptr);
  std::vector<SP_DEVINFO_DATA> added_;
  bool ok_ = devices_ != INVALID_HANDLE_VALUE;
};

// Opens the dialog, works it and closes it by a button (IDCANCEL: its close box).
void UseConnectionDialog(const ProgramRun& run, int button,
                         const std::function<void(const Dialog&)>& work, WORD code = BN_CLICKED) {
  Dialog dialog;
  run.Click(402, code);
  ASSERT_TRUE(run.WaitForDialog(kWaitTimeoutMs, &dialog, "接続設定"));
  work(dialog);
  button == IDCANCEL ? dialog.CloseBox() : dialog.Click(button);
  ASSERT_TRUE(dialog.WaitGone());
  ASSERT_TRUE(run.Sync());
}

class Dialogs : public Scenario {};

}  // namespace

TEST_F(Dialogs, AboutBoxClosesEveryWayAndConnectionDialogRowsFollowTheMethodAndOnlyOkWrites) {
  ASSERT_TRUE(Started(run, LinkConfig("COM1")));
  const std::pair<const char*, std::function<void(const Dialog&)>> ways[] = {
      {"OK button", [](const Dialog& d) { d.Click(470); }},
      {"Enter", [](const Dialog& d) { d.PressKey(VK_RETURN); }},
      {"Esc", [](const Dialog& d) { d.PressKey(VK_ESCAPE); }},
      {"close box", [](const Dialog& d) { d.CloseBox(); }}};
  for (const auto& [way, close] : ways) {
    run.Menu(101);
    Dialog about;
    ASSERT_TRUE(run.WaitForDialog(kWaitTimeoutMs, &about, "バージョン情報")) << way;
    EXPECT_EQ(about.Text(271), "バージョン 1.00");
    EXPECT_NE(about.Text(270).find("RV-SOLA62"), std::string::npos);
    close(about);
    EXPECT_TRUE(about.WaitGone()) << way << " left the box open";
  }

  const std::string before = run.Config();
  // Only the low word of a command names it: the dialog opens whatever the high word holds.
  UseConnectionDialog(
      run, 411,
      [&](const Dialog& d) {
        EXPECT_EQ(d.ComboSelection(310), 0);
        EXPECT_EQ(d.Text(500), "10101");
        // The serial row, or the address and port rows, by the chosen method.
        for (int method : {-1, 1, 0}) {  // -1: as it opened
          if (method >= 0) d.SelectComboItem(310, method);
          ASSERT_TRUE(run.Sync());
          for (int id : {251, 311}) EXPECT_EQ(d.Visible(id), method != 1) << id;
          for (int id : {252, 700, 253, 500}) EXPECT_EQ(d.Visible(id), method == 1) << id;
        }
        ExpectStandardCommandsIgnored(run, d);
      },
      0x1234);

  // Cancel and the close box read nothing, even after changes.
  auto tcp = [](const Dialog& d) { d.SelectComboItem(310, 1); };
  for (int button : {411, IDCANCEL}) UseConnectionDialog(run, button, tcp);
  EXPECT_EQ(run.Config(), before);
  EXPECT_EQ(run.Status(0), "USB接続(未接続)");

  // OK with the other method and a port outside 1-65535: refused in a message
  // the dialog owns, which leaves it open with the method stored, not the port.
  UseConnectionDialog(run, 410, [&](const Dialog& d) {
    tcp(d);
    for (const char* port : {"", "70000"}) {
      ASSERT_TRUE(d.SetText(500, port));
      d.Click(410);
      Dialog box;
      ASSERT_TRUE(run.WaitForDialog(kWaitTimeoutMs, &box, "エラー")) << port;
      EXPECT_EQ(box.text, "ポート番号は1～65535の範囲で入力してください。");
      EXPECT_EQ(GetWindow(box.window, GW_OWNER), d.window);
      box.Click(IDOK);
      ASSERT_TRUE(box.WaitGone() && run.Sync());
      EXPECT_TRUE(IsWindowVisible(d.window)) << port;
    }
    EXPECT_EQ(IniValues(run.Config(), {"IF/type", "IF/port"}), (Strings{"1", "10101"}));
    ASSERT_TRUE(d.SetText(500, "65535"));
  });
  // The address and the serial port as they were.
  EXPECT_EQ(IniValues(run.Config(), {"IF/type", "IF/port", "IF/ip", "IF/com"}),
            (Strings{"1", "65535", "2130706433", "COM1"}));
  EXPECT_EQ(run.Status(0), "Wi-Fi接続(未接続)");

  // Without a link the commands that talk to the instrument are ignored at
  // once, even with an entry that would be refused (501), and unknown ids go
  // to default processing and leave the window as it was.
  ASSERT_TRUE(run.SetText(501, "abc"));
  const uint64_t start = GetTickCount64();
  for (int id : {403, 440, 441, 442, 443, 444, 999}) run.Click(id);
  ASSERT_TRUE(run.Sync());
  EXPECT_LT(GetTickCount64() - start, 1000u) << "a command waited for an answer";
  EXPECT_TRUE(run.NoDialogWithin(300)) << "a dialog or message opened while disconnected";
  EXPECT_TRUE(run.Enabled(400));
}

// The stored port is not present: the first listed one, the simulator's, is
// preselected, but the port to open changes only with OK.
TEST_F(Dialogs, PortListShowsThePresentPortsAndOnlyOkTakesOne) {
  if (kSimulatorComPort.empty()) GTEST_SKIP() << "no simulator";
  SerialPorts ports({Widen(kSimulatorComPort), L"COM7"});
  if (!ports.ok()) GTEST_SKIP() << "serial port devices could not be registered";
  ASSERT_TRUE(Started(run, LinkConfig("COM5")));
  auto first = [](const Dialog& d) {
    EXPECT_EQ(d.ComboItems(311), (std::vector<std::string>{kSimulatorComPort, "COM7"}));
    EXPECT_EQ(d.ComboSelection(311), 0);
  };
  UseConnectionDialog(run, 411, first);
  EXPECT_EQ(IniValues(run.Config(), {"IF/com"}), Strings{"COM5"});
  run.Click(400);
  EXPECT_TRUE(MessageShown(run, "接続失敗", "接続できませんでした。")) << "COM5 was not tried";
  UseConnectionDialog(run, 410, first);
  EXPECT_EQ(IniValues(run.Config(), {"IF/com"}), Strings{kSimulatorComPort});
  ASSERT_TRUE(Connected(run));
}

class ClockDialog : public Scenario {
 protected:
  Dialog dialog;

  void Open() {
    run.Click(403);
    ASSERT_TRUE(run.WaitForDialog(kWaitTimeoutMs, &dialog, "時計設定"));
  }

  // Clicks a button of the dialog and returns the text of the message box
  // that follows, which must belong to the dialog, have only OK, and show an
  // icon only when it is the no-answer warning.
  std::string ClickAndRead(int id, const char* caption) {
    dialog.Click(id);
    Dialog box;
    if (!run.WaitForDialog(kWaitTimeoutMs, &box, caption)) return "<no message>";
    EXPECT_EQ(GetWindow(box.window, GW_OWNER), dialog.window);
    EXPECT_NE(box.Control(IDOK), nullptr);
    EXPECT_EQ(box.Control(IDCANCEL), nullptr);
    bool icon = false;
    for (HWND child = nullptr; (child = FindWindowExW(box.window, child, L"Static", nullptr));) {
      const LONG style = GetWindowLongW(child, GWL_STYLE);
      icon |= (style & WS_VISIBLE) && (style & SS_TYPEMASK) == SS_ICON &&
              SendMessageW(child, STM_GETICON, 0, 0) != 0;
    }
    EXPECT_EQ(icon, box.caption == "エラー") << box.text;
    box.Click(IDOK);
    EXPECT_TRUE(box.WaitGone());
    return box.text;
  }
};

TEST_F(ClockDialog, GetShowsTheInstrumentTimeSetSendsThePcTimeAndNoAnswerShowsNoTime) {
  ConnectToFake();
  Open();
  EXPECT_EQ(ClickAndRead(431, "本体時刻取得"), kClockText);
  ExpectStandardCommandsIgnored(run, dialog);

  fake.Clear();
  SYSTEMTIME before, after;
  GetLocalTime(&before);
  const std::string message = ClickAndRead(432, "本体時刻設定");
  GetLocalTime(&after);
  Frame frame;
  ASSERT_TRUE(fake.WaitFor(kSetClock, 0, &frame));
  ASSERT_EQ(frame.data.size(), 6u);
  // Year-2000, month, day, hour, minute, second: comparable as bytes.
  auto sent_as = [](const SYSTEMTIME& t) {
    return Bytes{uint8_t(t.wYear - 2000), uint8_t(t.wMonth),  uint8_t(t.wDay),
                 uint8_t(t.wHour),        uint8_t(t.wMinute), uint8_t(t.wSecond)};
  };
  EXPECT_LE(sent_as(before), frame.data);
  EXPECT_LE(frame.data, sent_as(after));
  const Bytes& t = frame.data;
  char expected[160];
  std::snprintf(expected, sizeof expected,
                "計測器に現在時刻(%4d/%d/%d %d:%02d:%02d)を設定しました。", t[0] + 2000, t[1], t[2],
                t[3], t[4], t[5]);
  EXPECT_EQ(message, expected);
  dialog.Click(430);
  EXPECT_TRUE(dialog.WaitGone());

  // Neither an unanswered exchange nor a lost link is shown as a time read
  // or set, though one was read before.
  Open();
  fake.Change([](FakeScript& s) { s.answers[kGetClock] = s.answers[kSetClock] = std::nullopt; });
  fake.Clear();
  EXPECT_EQ(ClickAndRead(431, "エラー"), kNoAnswer);
  EXPECT_EQ(ClickAndRead(432, "エラー"), kNoAnswer);
  EXPECT_EQ(fake.Count(kSetClock), 1);

  // The link is lost while the dialog stays open: nothing more is sent.
  fake.Change([](FakeScript& s) { s.model.options.silent = true; });
  Dialog lost;
  ASSERT_TRUE(run.WaitForDialog(40000, &lost, "エラー"));
  EXPECT_EQ(lost.text, "通信が切断されました。");
  lost.Click(IDOK);
  ASSERT_TRUE(lost.WaitGone());
  fake.Clear();
  EXPECT_EQ(ClickAndRead(431, "エラー"), kNoAnswer);
  EXPECT_EQ(ClickAndRead(432, "エラー"), kNoAnswer);
  EXPECT_TRUE(fake.Frames().empty());
  dialog.CloseBox();
  EXPECT_TRUE(dialog.WaitGone());
}
