// The output pages against a scripted instrument: the exact bytes of every
// command, the entry messages, real-time output, type switching and saving.
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/scenario.h"

using namespace e2e;

namespace {

constexpr uint8_t kSetOutput = 0xC1;
constexpr uint8_t kStartReplay = 0xC4;
constexpr uint8_t kStopReplay = 0xC5;
constexpr uint8_t kStartSweep = 0xC6;

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

  // Clicks a button and returns the data of the one command it sent, or the
  // text of the one message box it showed instead of sending.
  std::string Outcome(int id, uint8_t command) {
    ClearReceived(fake);
    Click(run, id);
    DialogInfo box;
    if (!WaitUntil([&] { return !Sent(command).empty() || WaitForDialog(run, 0, &box); })) {
      return "<nothing>";
    }
    if (box.window == nullptr) return Sync(run) ? Sent(command).front() : "<no answer>";
    EXPECT_EQ(box.caption, "エラー");
    DismissDialog(box);
    EXPECT_TRUE(WaitForDialogGone(box));
    EXPECT_TRUE(NoDialogWithin(run, 300)) << "a second message followed";
    EXPECT_TRUE(Sync(run));
    EXPECT_TRUE(Sent(command).empty()) << "sent despite the message";
    return box.text;
  }
};

}  // namespace

// The messages' texts for every field are the unit tests' business; here each
// page shows the last failing field's and sends nothing.
TEST_F(OutputPages, SetAndSweepSendTypeCodesAndTimesOrShowTheEntryMessage) {
  Connect();
  struct Row {
    int tab, type;
    std::vector<std::pair<int, const char*>> entries;
    std::string outcome;
    int slider = INT_MIN;  // after a Set, unless INT_MIN
  };
  const Row rows[] = {
      {0, 0, {{501, "50"}}, "00 40 00", 500},
      {0, 0, {{501, ""}}, "00 00 00", 0},
      {0, 1, {{501, "-10"}}, "01 80 00", -100},
      {0, 2, {{501, "20.5"}}, "出力値は0～20mAの範囲で入力してください。"},
      {0, 2, {{501, "1a"}}, "出力値を数字で入力してください。"},
      {1, 0, {}, "00 80 00 7F FF 01 F4 01 F4"},  // the defaults
      {1, 2, {{502, "4"}, {503, "20"}, {504, "100"}, {505, "0"}}, "02 19 99 7F FF 00 64 00 00"},
      {1, 0, {{504, "0"}, {505, ""}}, "T1とT2のどちらかは0以外で入力してください。"},
      {1, 0, {{502, "abc"}, {504, "60001"}, {505, "7"}}, "T1は0～60000の範囲で入力してください。"},
      {1, 0, {{502, "-5"}, {504, "3"}, {505, ""}}, "00 F9 9A 7F FF 00 03 00 00"},
  };
  for (const Row& r : rows) {
    const std::string row = "row " + std::to_string(&r - rows);
    ASSERT_TRUE(SelectTab(run, r.tab)) << row;
    ChooseType(run, r.type);
    for (const auto& [id, text] : r.entries) ASSERT_TRUE(SetText(run, id, text)) << row;
    EXPECT_EQ(Outcome(r.tab == 0 ? 440 : 442, r.tab == 0 ? kSetOutput : kStartSweep), r.outcome)
        << row;
    EXPECT_TRUE(r.slider == INT_MIN || SliderPos(run) == r.slider) << row << " " << SliderPos(run);
  }
}

TEST_F(OutputPages, ReplayStartAndStop) {
  Connect();
  ASSERT_TRUE(SelectTab(run, 2));
  SelectComboItem(run.window, 300, 2);
  const std::pair<const char*, std::string> counts[] = {
      {"10", "02 00 0A"},
      {"0", "繰り返し回数は1～65535の範囲で入力してください。"},
      {"", "繰り返し回数は1～65535の範囲で入力してください。"}};
  for (const auto& [count, outcome] : counts) {
    SetText(run, 506, count);
    EXPECT_EQ(Outcome(443, kStartReplay), outcome) << "count " << count;
  }

  SetText(run, 506, "65536");  // endless does not read the box
  SelectComboItem(run.window, 300, 0);
  Press(run, 601, true);
  ASSERT_TRUE(Sync(run));
  EXPECT_FALSE(IsEnabled(run, 506));
  EXPECT_EQ(Outcome(443, kStartReplay), "00 00 00");
  Press(run, 601, false);
  ASSERT_TRUE(Sync(run));
  EXPECT_TRUE(IsEnabled(run, 506));
  EXPECT_EQ(Text(run, 506), "65536");
  EXPECT_EQ(Outcome(444, kStopReplay), "");
}

TEST_F(OutputPages, OffSendsZeroAndEndsRealtimeOutput) {
  Connect("[OUTPUT]\r\ntype=1\r\n");
  SetText(run, 501, "3.5");
  Press(run, 600, true);
  ASSERT_TRUE(WaitForCommand(fake, kSetOutput, kWaitTimeoutMs));
  ASSERT_TRUE(Sync(run));
  EXPECT_FALSE(IsEnabled(run, 501));
  EXPECT_FALSE(IsEnabled(run, 440));

  EXPECT_EQ(Outcome(441, kSetOutput), "01 00 00");
  EXPECT_EQ(CheckState(run, 600), BST_UNCHECKED);
  EXPECT_TRUE(IsEnabled(run, 501));
  EXPECT_TRUE(IsEnabled(run, 440));
  EXPECT_EQ(Text(run, 501), "3.5");  // the entry stays as typed
  ClearReceived(fake);
  Sleep(400);
  EXPECT_EQ(CountCommand(fake, kSetOutput), 0) << "real-time output still running";
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
  MoveSlider(run, 123);
  Frame moved;
  ASSERT_TRUE(WaitForCommand(fake, kSetOutput, 1000, &moved));
  EXPECT_EQ(Text(run, 501), "12.30");
  EXPECT_EQ(Hex(moved.data), "00 0F BE");

  // A step arrow too: medium up from 12.30.
  ClearReceived(fake);
  ClickUpDown(run, 1201, +1);
  ASSERT_TRUE(WaitForCommand(fake, kSetOutput, 1000));
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

  const std::pair<int, const char*> type1[] = {
      {501, "0.000"}, {210, "V"}, {502, "-10.000"}, {503, "10.000"}};
  const std::pair<int, const char*> type0[] = {{501, "12.34"}, {502, "-50.00"}, {503, "100.00"},
                                               {504, "250"},   {505, "500"},    {210, "mV"}};
  ChooseType(run, 1);
  EXPECT_EQ(CheckState(run, 600), BST_UNCHECKED);
  EXPECT_TRUE(IsEnabled(run, 501));
  for (const auto& [id, text] : type1) EXPECT_EQ(Text(run, id), text) << "type 1, " << id;
  EXPECT_EQ(SliderPos(run), 0);
  ClearReceived(fake);
  Sleep(300);
  EXPECT_EQ(CountCommand(fake, kSetOutput), 0) << "the type switch sent something";

  ChooseType(run, 0);
  for (const auto& [id, text] : type0) EXPECT_EQ(Text(run, id), text) << "type 0, " << id;
  EXPECT_EQ(SliderPos(run), 123);
}

// The close box's way out; the menu's is in test_startup.cpp.
TEST(OutputSaving, ExitSavesTheEntriesOfTheCurrentType) {
  ProgramRun run;
  ASSERT_TRUE(Started(run, std::nullopt));
  SetText(run, 501, "12.5");
  ChooseType(run, 1);  // takes the type-0 entries
  SetText(run, 501, "-2.25");
  SetText(run, 502, "-7");
  SetText(run, 505, "700");
  SetText(run, 503, "11");  // out of range: the stored value stays
  SetText(run, 506, "42");
  ASSERT_TRUE(Sync(run));
  CloseBox(run.window);
  ASSERT_TRUE(ExitsWithZero(run));
  const std::string saved = ConfigText(run);
  const char* const expected[][3] = {{"OUTPUT", "type", "1"},
                                     {"OUTPUT_CONF0", "value", "12.500000"},
                                     {"OUTPUT_CONF1", "value", "-2.250000"},
                                     {"OUTPUT_CONF1", "sweep_a", "-7.000000"},
                                     {"OUTPUT_CONF1", "sweep_b", "10.000000"},
                                     {"OUTPUT_CONF1", "sweep_t2", "700"},
                                     {"OUTPUT", "repnum", "42"}};
  for (auto& e : expected) EXPECT_EQ(IniValue(saved, e[0], e[1]), e[2]) << e[0] << "/" << e[1];
}

TEST(OutputLive, ValueAndModeFollowTheInstrument) {
  if (kSimulatorTcpPort == 0) GTEST_SKIP() << "no simulator";
  ProgramRun run;
  ASSERT_TRUE(Started(run, TcpConfig(kSimulatorTcpPort)));
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
