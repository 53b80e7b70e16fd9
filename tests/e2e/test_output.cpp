// The output pages against a scripted instrument: the exact bytes of every
// command, the entry messages, real-time output and type switching.
#include <climits>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/scenario.h"

using namespace e2e;

namespace {

constexpr uint8_t kSetOutput = 0xC1;

class OutputPages : public Scenario {
 protected:
  // The data of every frame of this command received so far.
  std::vector<std::string> Sent(uint8_t command) {
    std::vector<std::string> data;
    for (const Frame& frame : fake.Frames()) {
      if (frame.command == command) data.push_back(Hex(frame.data));
    }
    return data;
  }

  // Clicks a button and returns the data of the one command it sent, or the
  // text of the one message box it showed instead of sending.
  std::string Outcome(int id, uint8_t command) {
    fake.Clear();
    run.Click(id);
    Dialog box;
    if (!WaitUntil([&] { return !Sent(command).empty() || run.WaitForDialog(0, &box); })) {
      return "<nothing>";
    }
    if (box.window == nullptr) return run.Sync() ? Sent(command).front() : "<no answer>";
    EXPECT_EQ(box.caption, "エラー");
    box.Click(IDOK);
    EXPECT_TRUE(box.WaitGone());
    EXPECT_TRUE(run.NoDialogWithin(300)) << "a second message followed";
    EXPECT_TRUE(run.Sync());
    EXPECT_TRUE(Sent(command).empty()) << "sent despite the message";
    return box.text;
  }
};

}  // namespace

// Each page sends its command, or shows the last failing field's message and
// sends nothing; every field's message text is the unit tests' business.
TEST_F(OutputPages, EachPageSendsTypeCodesTimesAndCountOrShowsTheEntryMessage) {
  ConnectToFake();
  const std::pair<int, uint8_t> buttons[] = {{440, kSetOutput}, {442, 0xC6}, {443, 0xC4}};
  struct Row {
    int tab, type;
    std::vector<std::pair<int, const char*>> entries;  // for the combo box 300: the item
    std::string outcome;
    int slider = INT_MIN;  // after a Set, unless INT_MIN
  };
  const Row rows[] = {
      {0, 0, {{501, "50"}}, "00 40 00", 500},
      {0, 1, {{501, "-10"}}, "01 80 00", -100},
      {0, 2, {{501, "20.5"}}, "出力値は0～20mAの範囲で入力してください。"},
      {1, 0, {}, "00 80 00 7F FF 01 F4 01 F4"},  // the defaults
      {1, 2, {{502, "4"}, {503, "20"}, {504, "100"}, {505, "0"}}, "02 19 99 7F FF 00 64 00 00"},
      {1, 0, {{502, "abc"}, {504, "60001"}, {505, "7"}}, "T1は0～60000の範囲で入力してください。"},
      {2, 0, {{300, "2"}, {506, "10"}}, "02 00 0A"},
      {2, 0, {{506, "0"}}, "繰り返し回数は1～65535の範囲で入力してください。"},
  };
  for (const Row& r : rows) {
    const std::string row = "row " + std::to_string(&r - rows);
    ASSERT_TRUE(run.SelectTab(r.tab)) << row;
    ChooseType(run, r.type);
    for (const auto& [id, text] : r.entries) {
      if (id == 300) {
        run.SelectComboItem(300, std::atoi(text));
      } else {
        ASSERT_TRUE(run.SetText(id, text)) << row;
      }
    }
    EXPECT_EQ(Outcome(buttons[r.tab].first, buttons[r.tab].second), r.outcome) << row;
    EXPECT_TRUE(r.slider == INT_MIN || run.Slider() == r.slider) << row << " " << run.Slider();
  }

  // Endless replay does not read the count box, and keeps its text.
  run.SetText(506, "65536");
  run.SelectComboItem(300, 0);
  run.Press(601, true);
  ASSERT_TRUE(run.Sync());
  EXPECT_FALSE(run.Enabled(506));
  EXPECT_EQ(Outcome(443, 0xC4), "00 00 00");
  run.Press(601, false);
  ASSERT_TRUE(run.Sync());
  EXPECT_TRUE(run.Enabled(506));
  EXPECT_EQ(run.Text(506), "65536");
  EXPECT_EQ(Outcome(444, 0xC5), "");

  // Unanswered, every button says so in a box the main window owns; real-time
  // output does not, since its next tick would bring another.
  fake.Change([](FakeScript& s) {
    for (uint8_t command : {kSetOutput, uint8_t{0xC4}, uint8_t{0xC5}, uint8_t{0xC6}}) {
      s.answers[command] = std::nullopt;
    }
  });
  const std::pair<int, const char*> valid[] = {{502, "-50"}, {504, "100"}, {506, "3"}};
  for (const auto& [id, text] : valid) run.SetText(id, text);
  for (int id : {440, 441, 442, 443, 444}) {
    fake.Clear();
    run.Click(id);
    Dialog box;
    ASSERT_TRUE(run.WaitForDialog(kWaitTimeoutMs, &box)) << id;
    EXPECT_EQ(GetWindow(box.window, GW_OWNER), run.window) << id;
    EXPECT_TRUE(MessageShown(run, "エラー", "計測器から応答がありませんでした。")) << id;
    EXPECT_EQ(fake.Frames().size() - fake.Count(0xC2), 1u) << id;
  }
  run.Press(600, true);
  ASSERT_TRUE(fake.WaitFor(kSetOutput, 1000));
  EXPECT_TRUE(run.NoDialogWithin(2500));
}

TEST_F(OutputPages,
       RealtimeSendsOncePerChangeAndTickUntilATypeSwitchOrOffAndEachTypeKeepsItsEntries) {
  ConnectToFake();
  run.SetText(501, "12.00");
  run.Press(600, true);
  EXPECT_TRUE(WaitUntil([&] { return Sent(kSetOutput).size() == 1; }, 1000)) << "no first send";
  Sleep(600);
  EXPECT_EQ(Sent(kSetOutput), std::vector<std::string>{"00 0F 5C"}) << "sent again unchanged";

  // The slider writes the box, and so does a step arrow (medium up from
  // 12.30, which leaves the slider alone); the next tick sends it.
  fake.Clear();
  run.MoveSlider(123);
  EXPECT_TRUE(WaitUntil([&] { return Sent(kSetOutput).size() == 1; }, 1000)) << "not sent";
  EXPECT_EQ(run.Text(501), "12.30");
  EXPECT_EQ(Sent(kSetOutput), std::vector<std::string>{"00 0F BE"});
  fake.Clear();
  run.ClickUpDown(1201, +1);
  EXPECT_TRUE(fake.WaitFor(kSetOutput, 1000));
  EXPECT_EQ(run.Text(501), "13.30");
  EXPECT_EQ(run.Slider(), 123);

  // A fast drag: many positions within a few ticks.
  ASSERT_TRUE(run.Sync());
  fake.Clear();
  const uint64_t start = GetTickCount64();
  for (int pos = 200; pos < 260; ++pos, Sleep(5)) run.MoveSlider(pos);
  ASSERT_TRUE(run.Sync());
  Sleep(300);
  const std::vector<std::string> sets = Sent(kSetOutput);
  ASSERT_FALSE(sets.empty());
  EXPECT_LE(sets.size(), (GetTickCount64() - start) / 100 + 1) << "more than one command per tick";
  EXPECT_EQ(sets.back(), "00 21 27") << "the last position (25.9) was not sent";

  // A type switch keeps each type's entries, and stops real-time output as Off does.
  fake.Clear();
  const std::pair<int, const char*> typed[] = {
      {501, "12.34"}, {502, "-50"}, {504, "250"}, {505, "x"}};  // x: the stored 500 stays
  for (const auto& [id, text] : typed) run.SetText(id, text);
  ASSERT_TRUE(fake.WaitFor(kSetOutput, 1000));

  const std::pair<int, const char*> type1[] = {
      {501, "0.000"}, {210, "V"}, {502, "-10.000"}, {503, "10.000"}};
  const std::pair<int, const char*> type0[] = {{501, "12.34"}, {502, "-50.00"}, {503, "100.00"},
                                               {504, "250"},   {505, "500"},    {210, "mV"}};
  ChooseType(run, 1);
  EXPECT_EQ(run.Checked(600), BST_UNCHECKED);
  EXPECT_TRUE(run.Enabled(501));
  for (const auto& [id, text] : type1) EXPECT_EQ(run.Text(id), text) << "type 1, " << id;
  EXPECT_EQ(run.Slider(), 0);
  fake.Clear();
  Sleep(300);
  EXPECT_EQ(fake.Count(kSetOutput), 0) << "the type switch sent something";

  // Off sends zero for the type and ends real-time output; the entry stays as typed.
  run.SetText(501, "3.5");
  run.Press(600, true);
  ASSERT_TRUE(fake.WaitFor(kSetOutput, 1000));
  ASSERT_TRUE(run.Sync());
  EXPECT_FALSE(run.Enabled(501) || run.Enabled(440));
  EXPECT_EQ(Outcome(441, kSetOutput), "01 00 00");
  EXPECT_EQ(run.Checked(600), BST_UNCHECKED);
  EXPECT_TRUE(run.Enabled(501) && run.Enabled(440));
  EXPECT_EQ(run.Text(501), "3.5");
  fake.Clear();
  Sleep(400);
  EXPECT_EQ(fake.Count(kSetOutput), 0) << "real-time output still running";

  ChooseType(run, 0);
  for (const auto& [id, text] : type0) EXPECT_EQ(run.Text(id), text) << "type 0, " << id;
  EXPECT_EQ(run.Slider(), 123);

  // A step control's own position never moves, so no limit of it can stop
  // its arrows: 200 clicks each way, every one applied.
  const LRESULT position = Query(run.Control(1202), UDM_GETPOS32);
  const std::pair<int, const char*> ways[] = {{+1, "32.34"}, {-1, "12.34"}};
  for (const auto& [delta, shown] : ways) {
    for (int click = 0; click < 200; ++click) run.ClickUpDown(1202, delta);
    // A sent query overtakes the posted clicks: waited for, not synced.
    EXPECT_TRUE(WaitUntil([&] { return run.Text(501) == shown; })) << run.Text(501);
    EXPECT_EQ(Query(run.Control(1202), UDM_GETPOS32), position);
  }
}
