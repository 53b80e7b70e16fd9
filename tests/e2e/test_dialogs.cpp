// The about box, the connection settings dialog with its port list, and the
// clock dialog against a scripted instrument.
#include <windows.h>
// After windows.h, which it needs.
#include <setupapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/scenario.h"

using namespace e2e;

namespace {

constexpr uint8_t kSetClock = 0x40;
constexpr uint8_t kGetClock = 0x41;

bool Shown(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

// The first open dialog or message box of the program with this caption.
bool WaitForCaption(const ProgramRun& run, const std::string& caption, DialogInfo* out) {
  return WaitUntil([&] {
    for (const DialogInfo& dialog : OpenDialogs(run)) {
      if (dialog.caption == caption) {
        *out = dialog;
        return true;
      }
    }
    return false;
  });
}

bool StillOpen(const ProgramRun& run, const DialogInfo& dialog) {
  return Sync(run) && IsWindow(dialog.window) && IsWindowVisible(dialog.window);
}

void CloseBox(const DialogInfo& dialog) {
  PostMessageW(dialog.window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void PressKey(const DialogInfo& dialog, WPARAM key) {
  PostMessageW(dialog.window, WM_KEYDOWN, key, 1);
  PostMessageW(dialog.window, WM_KEYUP, key, 0xC0000001);
}

// What Enter and Esc send when no button has the focus: the standard
// commands. The two dialogs that ignore them must stay open.
void ExpectStandardCommandsIgnored(const ProgramRun& run, const DialogInfo& dialog) {
  DismissDialog(dialog, IDOK);
  DismissDialog(dialog, IDCANCEL);
  EXPECT_TRUE(StillOpen(run, dialog));
  EXPECT_EQ(OpenDialogs(run).size(), 1u) << "a message box came up";
}

// Serial port devices registered through the Setup API, so that its
// enumeration lists them (Wine lists none for the COM ports mapped in
// dosdevices). Removed again at the end of the test.
class SerialPorts {
 public:
  explicit SerialPorts(const std::vector<std::wstring>& names) {
    devices_ = SetupDiCreateDeviceInfoList(&kPortsClass, nullptr);
    ok_ = devices_ != INVALID_HANDLE_VALUE;
    for (const std::wstring& name : names) ok_ = ok_ && Add(name);
  }

  ~SerialPorts() {
    if (devices_ == INVALID_HANDLE_VALUE) return;
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
    const std::wstring id = L"ROOT\\RVSOLAE2E\\" + name;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    if (!SetupDiCreateDeviceInfoW(devices_, id.c_str(), &kPortsClass, nullptr, nullptr, 0,
                                  &device) ||
        !SetupDiRegisterDeviceInfo(devices_, &device, 0, nullptr, nullptr, nullptr)) {
      return false;
    }
    added_.push_back(device);
    SP_DEVICE_INTERFACE_DATA interface_data = {};
    interface_data.cbSize = sizeof interface_data;
    if (!SetupDiCreateDeviceInterfaceW(devices_, &device, &kComPortInterface, nullptr, 0,
                                       &interface_data)) {
      return false;
    }
    HKEY key = SetupDiCreateDevRegKeyW(devices_, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr,
                                       nullptr);
    if (key == INVALID_HANDLE_VALUE) return false;
    LONG written =
        RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
  }

  HDEVINFO devices_ = INVALID_HANDLE_VALUE;
  std::vector<SP_DEVINFO_DATA> added_;
  bool ok_ = false;
};

std::vector<std::string> ComboItems(HWND combo) {
  std::vector<std::string> items;
  LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) items.push_back(ComboItemText(combo, i));
  return items;
}

bool OpenConnectionDialog(const ProgramRun& run, DialogInfo* dialog) {
  Click(run, 402);
  return WaitForCaption(run, "接続設定", dialog);
}

// The serial row, or the address and port rows, by the chosen method.
void ExpectRowsFor(const DialogInfo& dialog, bool tcp) {
  for (int id : {251, 311}) EXPECT_EQ(Shown(dialog.window, id), !tcp) << id;
  for (int id : {252, 700, 253, 500}) EXPECT_EQ(Shown(dialog.window, id), tcp) << id;
}

}  // namespace

TEST(AboutBox, ShowsVersionAndClosesEveryWay) {
  ProgramRun run;
  ASSERT_TRUE(Started(run, SerialConfig(ProgramComPort())));
  const char* ways[] = {"OK button", "Enter", "Esc", "close box"};
  for (int way = 0; way < 4; ++way) {
    MenuCommand(run, 101);
    DialogInfo about;
    ASSERT_TRUE(WaitForCaption(run, "バージョン情報", &about)) << ways[way];
    if (way == 0) {
      const std::string version = Text(GetDlgItem(about.window, 271));
      EXPECT_EQ(version, "バージョン 1.00");
      EXPECT_NE(Text(GetDlgItem(about.window, 270)).find("RV-SOLA62"), std::string::npos);
      Click(about.window, 470);
    } else if (way == 1) {
      PressKey(about, VK_RETURN);
    } else if (way == 2) {
      PressKey(about, VK_ESCAPE);
    } else {
      CloseBox(about);
    }
    EXPECT_TRUE(WaitForDialogGone(about)) << ways[way] << " left the box open";
  }
}

TEST(ConnectionDialog, RowsFollowTheMethodAndOnlyOkWrites) {
  ProgramRun run;
  ASSERT_TRUE(Started(run, SerialConfig(ProgramComPort())));
  const std::string before = ConfigText(run);
  EXPECT_EQ(StatusText(run, 0), "USB接続(未接続)");

  DialogInfo dialog;
  ASSERT_TRUE(OpenConnectionDialog(run, &dialog));
  EXPECT_EQ(ComboSelection(GetDlgItem(dialog.window, 310)), 0);
  ExpectRowsFor(dialog, false);
  EXPECT_EQ(Text(GetDlgItem(dialog.window, 500)), "10101");
  for (int method : {1, 0}) {
    ASSERT_TRUE(SelectComboItem(dialog.window, 310, method));
    ASSERT_TRUE(Sync(run));
    ExpectRowsFor(dialog, method == 1);
  }

  ExpectStandardCommandsIgnored(run, dialog);

  // Cancel and the close box read nothing, even after changes.
  ASSERT_TRUE(SelectComboItem(dialog.window, 310, 1));
  Click(dialog.window, 411);
  ASSERT_TRUE(WaitForDialogGone(dialog));
  ASSERT_TRUE(OpenConnectionDialog(run, &dialog));
  ASSERT_TRUE(SelectComboItem(dialog.window, 310, 1));
  CloseBox(dialog);
  ASSERT_TRUE(WaitForDialogGone(dialog));
  EXPECT_EQ(ConfigText(run), before);
  EXPECT_EQ(StatusText(run, 0), "USB接続(未接続)");

  // OK with the other method and an empty port field.
  ASSERT_TRUE(OpenConnectionDialog(run, &dialog));
  ASSERT_TRUE(SelectComboItem(dialog.window, 310, 1));
  ASSERT_TRUE(SetText(GetDlgItem(dialog.window, 500), ""));
  Click(dialog.window, 410);
  ASSERT_TRUE(WaitForDialogGone(dialog));
  ASSERT_TRUE(Sync(run));
  std::string after = ConfigText(run);
  EXPECT_EQ(IniValue(after, "IF", "type"), "1");
  EXPECT_EQ(IniValue(after, "IF", "port"), "0");
  EXPECT_EQ(IniValue(after, "IF", "ip"), "2130706433");  // untouched, written back as it was
  EXPECT_EQ(IniValue(after, "IF", "com"), ProgramComPort());
  EXPECT_EQ(StatusText(run, 0), "Wi-Fi接続(未接続)");

  // The next start puts the default port back.
  MenuCommand(run, 100);
  ASSERT_TRUE(ExitsWithZero(run));
  ProgramRun again;
  ASSERT_TRUE(StartProgramIn(again, run.dir));
  EXPECT_EQ(IniValue(ConfigText(again), "IF", "port"), "10101");
  EXPECT_EQ(StatusText(again, 0), "Wi-Fi接続(未接続)");
}

TEST(ConnectionDialog, PortListShowsPresentPortsAndTakesTheMatch) {
  SerialPorts ports({L"COM3", L"COM7"});
  if (!ports.ok()) GTEST_SKIP() << "serial port devices could not be registered";

  {
    ProgramRun run;
    ASSERT_TRUE(Started(run, SerialConfig("COM7")));
    DialogInfo dialog;
    ASSERT_TRUE(OpenConnectionDialog(run, &dialog));
    HWND list = GetDlgItem(dialog.window, 311);
    EXPECT_EQ(ComboItems(list), (std::vector<std::string>{"COM3", "COM7"}));
    EXPECT_EQ(ComboSelection(list), 1);
    Click(dialog.window, 411);
    ASSERT_TRUE(WaitForDialogGone(dialog));
  }

  // A stored port that is not present gives way to the first listed one at
  // once; the file changes only with OK.
  ProgramRun run;
  ASSERT_TRUE(Started(run, SerialConfig("COM5")));
  DialogInfo dialog;
  ASSERT_TRUE(OpenConnectionDialog(run, &dialog));
  EXPECT_EQ(ComboSelection(GetDlgItem(dialog.window, 311)), 0);
  Click(dialog.window, 411);
  ASSERT_TRUE(WaitForDialogGone(dialog));
  EXPECT_EQ(IniValue(ConfigText(run), "IF", "com"), "COM5");
  ASSERT_TRUE(OpenConnectionDialog(run, &dialog));
  Click(dialog.window, 410);
  ASSERT_TRUE(WaitForDialogGone(dialog));
  ASSERT_TRUE(Sync(run));
  EXPECT_EQ(IniValue(ConfigText(run), "IF", "com"), "COM3");
}

class ClockDialog : public ::testing::Test {
 protected:
  FakeInstrument fake;
  ProgramRun run;
  DialogInfo dialog;

  void OpenConnected(const FakeBehaviour& behaviour = {}) {
    ASSERT_TRUE(StartedWithFake(run, fake, behaviour));
    ASSERT_TRUE(Connected(run));
    Click(run, 403);
    ASSERT_TRUE(WaitForCaption(run, "時計設定", &dialog));
  }

  // Clicks a button of the dialog and returns the text of the message box
  // that follows, which must belong to the dialog, have only OK, and show an
  // icon only when it is the no-answer warning.
  std::string ClickAndRead(int id, const char* caption) {
    Click(dialog.window, id);
    DialogInfo box;
    if (!WaitForCaption(run, caption, &box)) return "<no message>";
    EXPECT_EQ(GetWindow(box.window, GW_OWNER), dialog.window);
    EXPECT_NE(GetDlgItem(box.window, IDOK), nullptr);
    EXPECT_EQ(GetDlgItem(box.window, IDCANCEL), nullptr);
    EXPECT_EQ(ShowsIcon(box.window), box.caption == "エラー") << box.text;
    DismissDialog(box);
    EXPECT_TRUE(WaitForDialogGone(box));
    return box.text;
  }

  static bool ShowsIcon(HWND box) {
    bool icon = false;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM found) {
          const LONG style = GetWindowLongW(child, GWL_STYLE);
          if ((style & WS_VISIBLE) && (style & SS_TYPEMASK) == SS_ICON &&
              SendMessageW(child, STM_GETICON, 0, 0) != 0) {
            *reinterpret_cast<bool*>(found) = true;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&icon));
    return icon;
  }
};

const char kNoAnswer[] = "計測器から応答がありませんでした。";

TEST_F(ClockDialog, GetShowsTheInstrumentTimeAndSetSendsThePcTime) {
  OpenConnected();
  EXPECT_EQ(ClickAndRead(431, "本体時刻取得"), "計測器の現在時刻は 2024/3/5 14:07:09 です。");
  ExpectStandardCommandsIgnored(run, dialog);

  ClearReceived(fake);
  SYSTEMTIME before;
  GetLocalTime(&before);
  std::string message = ClickAndRead(432, "本体時刻設定");
  SYSTEMTIME after;
  GetLocalTime(&after);
  Frame frame;
  ASSERT_TRUE(WaitForCommand(fake, kSetClock, 0, &frame));
  ASSERT_EQ(frame.data.size(), 6u);
  auto key = [](int y, int mo, int d, int h, int mi, int s) {
    return ((((y * 13LL + mo) * 32 + d) * 24 + h) * 60 + mi) * 60 + s;
  };
  const Bytes& t = frame.data;
  long long sent = key(t[0] + 2000, t[1], t[2], t[3], t[4], t[5]);
  EXPECT_LE(
      key(before.wYear, before.wMonth, before.wDay, before.wHour, before.wMinute, before.wSecond),
      sent);
  EXPECT_LE(sent,
            key(after.wYear, after.wMonth, after.wDay, after.wHour, after.wMinute, after.wSecond));
  char expected[160];
  std::snprintf(expected, sizeof expected,
                "計測器に現在時刻(%4d/%d/%d %d:%02d:%02d)を設定しました。", t[0] + 2000, t[1], t[2],
                t[3], t[4], t[5]);
  EXPECT_EQ(message, expected);

  Click(dialog.window, 430);
  EXPECT_TRUE(WaitForDialogGone(dialog));
}

// Neither an unanswered exchange nor a lost link is shown as a time read or set.
TEST_F(ClockDialog, WithoutAnAnswerNoTimeIsShownAsTheInstruments) {
  FakeBehaviour behaviour;
  behaviour.custom = [](const Frame& request, Bytes* answer) {
    if (request.command != kGetClock && request.command != kSetClock) return false;
    answer->clear();  // no answer at all
    return true;
  };
  OpenConnected(behaviour);
  EXPECT_EQ(ClickAndRead(431, "エラー"), kNoAnswer);  // before any time was read
  EXPECT_EQ(ClickAndRead(432, "エラー"), kNoAnswer);
  EXPECT_EQ(CountCommand(fake, kSetClock), 1);

  ChangeBehaviour(fake, [](FakeBehaviour& b) { b.custom = nullptr; });
  EXPECT_EQ(ClickAndRead(431, "本体時刻取得"), "計測器の現在時刻は 2024/3/5 14:07:09 です。");

  // The link is lost while the dialog stays open: nothing more is sent.
  ChangeBehaviour(fake, [](FakeBehaviour& b) { b.silent = true; });
  DialogInfo lost;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (const DialogInfo& d : OpenDialogs(run))
          if (d.text == "通信が切断されました。") lost = d;
        return lost.window != nullptr;
      },
      40000));
  DismissDialog(lost);
  ASSERT_TRUE(WaitForDialogGone(lost));
  ClearReceived(fake);
  EXPECT_EQ(ClickAndRead(431, "エラー"), kNoAnswer);
  EXPECT_EQ(ClickAndRead(432, "エラー"), kNoAnswer);
  EXPECT_TRUE(ReceivedFrames(fake).empty());
  CloseBox(dialog);
  EXPECT_TRUE(WaitForDialogGone(dialog));
}
