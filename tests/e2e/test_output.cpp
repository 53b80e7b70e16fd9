// The output pages against a scripted instrument: the exact bytes of every
// command, the entry messages, real-time output, type switching and saving.
#include <string>
#include <vector>

#include "tests/e2e/scenario.h"

using namespace e2e;

namespace {

constexpr uint8_t kSetOutput = 0xC1;
constexpr uint8_t kStartReplay = 0xC4;
constexpr uint8_t kStopReplay = 0xC5;
constexpr uint8_t kStartSweep = 0xC6;

// What an auto radio button or check box does on a click: its own check
// state first, then the command to the window.
void Press(const ProgramRun& run, int id, bool check) {
  SendMessageW(Control(run, id), BM_SETCHECK, check ? BST_CHECKED : BST_UNCHECKED, 0);
  Click(run, id);
}

void ChooseType(const ProgramRun& run, int type) {
  for (int t = 0; t < 4; ++t) {
    SendMessageW(Control(run, 420 + t), BM_SETCHECK, t == type ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  Click(run, 420 + type);
  ASSERT_TRUE(Sync(run));
}

class OutputPages : public ::testing::Test {
 protected:
  FakeInstrument fake;
  ProgramRun run;

  void Connect(const std::string& output_config = "") {
    ASSERT_TRUE(StartedWithFake(run, fake, {}, output_config));
    ASSERT_TRUE(Connected(run));
    ClearReceived(fake);
  }

  // The data of every frame of this command received so far.
  std::vector<std::string> Sent(uint8_t command) {
    std::vector<std::string> data;
    for (const Frame& frame : ReceivedFrames(fake)) {
      if (frame.command == command) data.push_back(Hex(frame.data));
    }
    return data;
  }

  // Clicks a button and returns the data of the one command it sent.
  std::string ClickAndCapture(int id, uint8_t command) {
    ClearReceived(fake);
    Click(run, id);
    Frame frame;
    if (!WaitForCommand(fake, command, kWaitTimeoutMs, &frame)) return "<nothing sent>";
    Sync(run);
    return Hex(frame.data);
  }

  // Clicks a button, expects exactly one message box, and that nothing of
  // `command` went out.
  std::string ClickAndReadMessage(int id, uint8_t command) {
    ClearReceived(fake);
    Click(run, id);
    DialogInfo box;
    if (!WaitForDialog(run, kWaitTimeoutMs, &box)) return "<no message>";
    EXPECT_EQ(box.caption, "エラー");
    DismissDialog(box);
    EXPECT_TRUE(WaitForDialogGone(box));
    EXPECT_TRUE(NoDialogWithin(run, 300)) << "a second message followed";
    Sync(run);
    EXPECT_EQ(CountCommand(fake, command), 0) << "sent despite the message";
    return box.text;
  }
};

}  // namespace

TEST_F(OutputPages, SetSendsTypeAndCodeHighByteFirst) {
  Connect();
  SetText(run, 501, "50");
  EXPECT_EQ(ClickAndCapture(440, kSetOutput), "00 40 00");
  EXPECT_EQ(SliderPos(run), 500);
  SetText(run, 501, "");
  EXPECT_EQ(ClickAndCapture(440, kSetOutput), "00 00 00");

  ChooseType(run, 1);
  SetText(run, 501, "-10");
  EXPECT_EQ(ClickAndCapture(440, kSetOutput), "01 80 00");
  EXPECT_EQ(SliderPos(run), -100);
}

TEST_F(OutputPages, SetRejectsBadEntriesWithAMessage) {
  Connect();
  ChooseType(run, 2);
  SetText(run, 501, "20.5");
  EXPECT_EQ(ClickAndReadMessage(440, kSetOutput), "出力値は0～20mAの範囲で入力してください。");
  SetText(run, 501, "1a");
  EXPECT_EQ(ClickAndReadMessage(440, kSetOutput), "出力値を数字で入力してください。");
}

TEST_F(OutputPages, OffSendsZeroAndEndsRealtimeOutput) {
  Connect("[OUTPUT]\r\ntype=1\r\n");
  SetText(run, 501, "3.5");
  Press(run, 600, true);
  ASSERT_TRUE(WaitForCommand(fake, kSetOutput, kWaitTimeoutMs));
  ASSERT_TRUE(Sync(run));
  EXPECT_FALSE(IsEnabled(run, 501));
  EXPECT_FALSE(IsEnabled(run, 440));

  EXPECT_EQ(ClickAndCapture(441, kSetOutput), "01 00 00");
  EXPECT_EQ(CheckState(run, 600), BST_UNCHECKED);
  EXPECT_TRUE(IsEnabled(run, 501));
  EXPECT_TRUE(IsEnabled(run, 440));
  EXPECT_EQ(Text(run, 501), "3.5");  // the entry stays as typed
  ClearReceived(fake);
  Sleep(400);
  EXPECT_EQ(CountCommand(fake, kSetOutput), 0) << "real-time output still running";
}

TEST_F(OutputPages, SweepSendsTypeCodesAndTimes) {
  Connect();
  ASSERT_TRUE(SelectTab(run, 1));
  EXPECT_EQ(ClickAndCapture(442, kStartSweep), "00 80 00 7F FF 01 F4 01 F4");

  ChooseType(run, 2);
  SetText(run, 502, "4");
  SetText(run, 503, "20");
  SetText(run, 504, "100");
  SetText(run, 505, "0");
  EXPECT_EQ(ClickAndCapture(442, kStartSweep), "02 19 99 7F FF 00 64 00 00");
}

TEST_F(OutputPages, SweepShowsOnlyTheLastFailingFieldsMessage) {
  Connect();
  ASSERT_TRUE(SelectTab(run, 1));
  SetText(run, 504, "0");
  SetText(run, 505, "");
  EXPECT_EQ(ClickAndReadMessage(442, kStartSweep), "T1とT2のどちらかは0以外で入力してください。");

  SetText(run, 502, "abc");
  SetText(run, 504, "60001");
  SetText(run, 505, "7");
  EXPECT_EQ(ClickAndReadMessage(442, kStartSweep), "T1は0～60000の範囲で入力してください。");

  // T2 passed above and was kept: fixing A and T1 is enough.
  SetText(run, 502, "-5");
  SetText(run, 504, "3");
  SetText(run, 505, "");
  EXPECT_EQ(ClickAndCapture(442, kStartSweep), "00 F9 9A 7F FF 00 03 00 00");
}

TEST_F(OutputPages, ReplayStartAndStop) {
  Connect();
  ASSERT_TRUE(SelectTab(run, 2));
  ASSERT_TRUE(SelectComboItem(run.window, 300, 2));
  SetText(run, 506, "10");
  EXPECT_EQ(ClickAndCapture(443, kStartReplay), "02 00 0A");

  SetText(run, 506, "0");
  EXPECT_EQ(ClickAndReadMessage(443, kStartReplay),
            "繰り返し回数は1～65535の範囲で入力してください。");
  SetText(run, 506, "");
  EXPECT_EQ(ClickAndReadMessage(443, kStartReplay),
            "繰り返し回数は1～65535の範囲で入力してください。");
  SetText(run, 506, "65536");  // endless does not read the box

  ASSERT_TRUE(SelectComboItem(run.window, 300, 0));
  Press(run, 601, true);
  ASSERT_TRUE(Sync(run));
  EXPECT_FALSE(IsEnabled(run, 506));
  EXPECT_EQ(ClickAndCapture(443, kStartReplay), "00 00 00");
  Press(run, 601, false);
  ASSERT_TRUE(Sync(run));
  EXPECT_TRUE(IsEnabled(run, 506));
  EXPECT_EQ(Text(run, 506), "65536");

  EXPECT_EQ(ClickAndCapture(444, kStopReplay), "");
}

TEST_F(OutputPages, RealtimeSendsOncePerChangeAndAtMostOncePerTick) {
  Connect();
  SetText(run, 501, "12.00");
  Press(run, 600, true);
  Frame first;
  ASSERT_TRUE(WaitForCommand(fake, kSetOutput, 1000, &first)) << "no forced first send";
  EXPECT_EQ(Hex(first.data), "00 0F 5C");
  Sleep(600);
  EXPECT_EQ(Sent(kSetOutput).size(), 1u) << "sent again without a change";

  // The slider writes the box; the next tick sends it.
  ClearReceived(fake);
  ASSERT_TRUE(MoveSlider(run, 123));
  Frame moved;
  ASSERT_TRUE(WaitForCommand(fake, kSetOutput, 1000, &moved));
  EXPECT_EQ(Text(run, 501), "12.30");
  EXPECT_EQ(Hex(moved.data), "00 0F BE");

  // A step arrow too: medium up from 12.30.
  ClearReceived(fake);
  ASSERT_TRUE(ClickUpDown(run, 1201, +1));
  Frame stepped;
  ASSERT_TRUE(WaitForCommand(fake, kSetOutput, 1000, &stepped));
  EXPECT_EQ(Text(run, 501), "13.30");
  EXPECT_EQ(SliderPos(run), 123) << "a step does not move the slider";

  // A fast drag: many positions within a few ticks.
  ASSERT_TRUE(Sync(run));
  ClearReceived(fake);
  const uint64_t start = NowMs();
  for (int pos = 200; pos < 260; ++pos) {
    MoveSlider(run, pos);
    Sleep(5);
  }
  ASSERT_TRUE(Sync(run));
  Sleep(300);
  const uint64_t elapsed = NowMs() - start;
  const std::vector<std::string> sets = Sent(kSetOutput);
  ASSERT_FALSE(sets.empty());
  EXPECT_LE(sets.size(), elapsed / 100 + 1) << "more than one command per tick";
  EXPECT_EQ(sets.back(), "00 21 27") << "the last position (25.9) was not sent";
}

TEST_F(OutputPages, TypeSwitchKeepsEachTypesEntriesAndStopsRealtime) {
  Connect();
  SetText(run, 501, "12.34");
  SetText(run, 502, "-50");
  SetText(run, 504, "250");
  SetText(run, 505, "x");  // not a number: the stored 500 stays
  Press(run, 600, true);
  ASSERT_TRUE(WaitForCommand(fake, kSetOutput, 1000));

  ChooseType(run, 1);
  EXPECT_EQ(CheckState(run, 600), BST_UNCHECKED);
  EXPECT_TRUE(IsEnabled(run, 501));
  EXPECT_EQ(Text(run, 501), "0.000");
  EXPECT_EQ(Text(run, 210), "V");
  EXPECT_EQ(Text(run, 502), "-10.000");
  EXPECT_EQ(Text(run, 503), "10.000");
  EXPECT_EQ(SliderPos(run), 0);
  ClearReceived(fake);
  Sleep(300);
  EXPECT_EQ(CountCommand(fake, kSetOutput), 0) << "the type switch sent something";

  ChooseType(run, 0);
  EXPECT_EQ(Text(run, 501), "12.34");
  EXPECT_EQ(Text(run, 502), "-50.00");
  EXPECT_EQ(Text(run, 503), "100.00");
  EXPECT_EQ(Text(run, 504), "250");
  EXPECT_EQ(Text(run, 505), "500");
  EXPECT_EQ(Text(run, 210), "mV");
  EXPECT_EQ(SliderPos(run), 123);
}

TEST(OutputSaving, ExitSavesTheEntriesOfTheCurrentType) {
  ProgramRun run;
  ASSERT_TRUE(Started(run, nullptr));
  SetText(run, 501, "12.5");
  ChooseType(run, 1);  // takes the type-0 entries
  SetText(run, 501, "-2.25");
  SetText(run, 502, "-7");
  SetText(run, 505, "700");
  SetText(run, 503, "11");  // out of range: the stored value stays
  SetText(run, 506, "42");
  ASSERT_TRUE(Sync(run));
  CloseWindow(run);
  ASSERT_TRUE(ExitsWithZero(run));
  const std::string saved = ConfigText(run);
  EXPECT_EQ(IniValue(saved, "OUTPUT", "type"), "1");
  EXPECT_EQ(IniValue(saved, "OUTPUT_CONF0", "value"), "12.500000");
  EXPECT_EQ(IniValue(saved, "OUTPUT_CONF1", "value"), "-2.250000");
  EXPECT_EQ(IniValue(saved, "OUTPUT_CONF1", "sweep_a"), "-7.000000");
  EXPECT_EQ(IniValue(saved, "OUTPUT_CONF1", "sweep_b"), "10.000000");
  EXPECT_EQ(IniValue(saved, "OUTPUT_CONF1", "sweep_t2"), "700");
  EXPECT_EQ(IniValue(saved, "OUTPUT", "repnum"), "42");
}

TEST(OutputLive, ValueAndModeFollowTheInstrument) {
  if (SimulatorTcpPort() == 0) GTEST_SKIP() << "no simulator";
  ProgramRun run;
  ASSERT_TRUE(Started(run, TcpConfig(SimulatorTcpPort())));
  ASSERT_TRUE(Connected(run));
  ASSERT_TRUE(WaitUntil([&] { return Text(run, 203) == "Mode: 通常"; }));

  ASSERT_TRUE(SelectTab(run, 1));
  SetText(run, 504, "100");  // one second up, one down
  SetText(run, 505, "100");
  Click(run, 442);
  ASSERT_TRUE(WaitUntil([&] { return Text(run, 203) == "Mode: スイープ"; }));
  std::vector<std::string> seen;
  WaitUntil([&] {
    const std::string value = Text(run, 201);
    if (seen.empty() || seen.back() != value) seen.push_back(value);
    return seen.size() >= 3;
  });
  EXPECT_GE(seen.size(), 3u) << "the live value did not follow the sweep";

  ASSERT_TRUE(SelectTab(run, 2));
  SetText(run, 506, "3");
  Click(run, 443);
  EXPECT_TRUE(WaitUntil([&] { return Text(run, 203) == "Mode: 再現"; }));
  Click(run, 444);
  ASSERT_TRUE(Sync(run));
}
