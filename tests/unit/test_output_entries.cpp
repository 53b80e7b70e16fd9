// Output values: codes, texts and ranges, the checks of the entry boxes, the
// step arrows and the slider position.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>  // atof: entry fields read "-0" this way
#include <limits>

#include "output/entry_checks.h"
#include "output/output_types.h"
#include "output/slider_position.h"
#include "output/step_rule.h"

namespace {

std::string Sweep(const SweepSettings& s) {
  char text[100];
  std::snprintf(text, sizeof text, "%g %g %u %u", s.a, s.b, s.t1, s.t2);
  return text;
}

}  // namespace

TEST(OutputTypes, EncodeKnownCodesAndSaturateInsteadOfWrapping) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  const double minus_zero = std::atof("-0");
  struct {
    double value;
    int type, code;
  } cases[] = {{100, 0, 0x7FFF},   {-100, 0, 0x8000},   {0.1, 0, 0x0021},   {-0.1, 0, 0xFFDF},
               {0, 0, 0},          {-0.0, 0, 0},        {0.001, 0, 0},      {-0.001, 0, 0xFFFF},
               {10, 1, 0x7FFF},    {-10, 1, 0x8000},    {20, 2, 32767},     {10, 2, 16384},
               {4, 2, 6553},       {0, 3, 0},           {5, 4, 0},          {5, -1, 0},
               {100.5, 0, 0x7FFF}, {-100.5, 0, 0x8000}, {1e300, 1, 0x7FFF}, {-inf, 1, 0x8000},
               {-1e9, 2, 0x8000},  {nan, 0, 0},         {minus_zero, 0, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(EncodeOutputValue(c.value, c.type), c.code) << c.value << " type " << c.type;
}

TEST(OutputTypes, DecodeAndRoundTrip) {
  EXPECT_DOUBLE_EQ(DecodeOutputValue(0, 0x7FFF), 100.0);
  EXPECT_DOUBLE_EQ(DecodeOutputValue(0, static_cast<int16_t>(0x8000)), -100.0);
  EXPECT_NEAR(DecodeOutputValue(2, 16384), 10.0003052, 1e-7);
  EXPECT_NEAR(DecodeOutputValue(3, -16384), -10.0003052, 1e-7);
  EXPECT_EQ(DecodeOutputValue(4, 1000), 0.0);
  // Every code reads back as itself; the bipolar types' negative ones too.
  for (unsigned type = 0; type < 4; ++type)
    for (int code = type < 2 ? -32768 : 0; code <= 32767; ++code)
      ASSERT_EQ(EncodeOutputValue(DecodeOutputValue(type, static_cast<int16_t>(code)), type),
                code & 0xFFFF);
}

TEST(OutputTypes, NumericTextRangeAndTexts) {
  for (const char* good : {"", "-", ".", "-.", "12.", ".5", "-0.25", "0123"})
    EXPECT_TRUE(IsNumericText(good)) << good;
  for (const char* bad : {"1-2", "1.2.3", "+1", " 1", "1 ", "1e3", "１", "0x1", "--1"})
    EXPECT_FALSE(IsNumericText(bad)) << bad;
  EXPECT_FALSE(IsNumericText(nullptr));
  // The range includes both ends.
  EXPECT_TRUE(InOutputRange(-100, 0) && InOutputRange(100, 0) && InOutputRange(20, 3));
  EXPECT_FALSE(InOutputRange(100.001, 0) || InOutputRange(-0.001, 2) || InOutputRange(0, 4));
  EXPECT_FALSE(InOutputRange(std::nan(""), 1));
  EXPECT_EQ(ValueToText(1, 9), "-");
  EXPECT_EQ(ValueToText(-0.0003, 1) + ValueToText(-0.004, 0), "0.0000.00");
}

TEST(StepRule, BoxTextAfterAStepClick) {
  enum { kCoarse, kMedium, kFine };
  // Clamped at the range ends; mirrored when the step crosses zero, but zero
  // never is; a plain sum in the direction of the sign, or for a step smaller
  // than the value (and for a held arrow, +5). Out of range: the stored value
  // 12.5 is the base. Not a number: nothing happens.
  struct {
    const char* box;
    int type, step, delta;
    const char* shown;
  } cases[] = {{"95.00", 0, kCoarse, +1, "100.00"},    {"-99.00", 0, kCoarse, -1, "-100.00"},
               {"0.50", 2, kMedium, -1, "0.000"},      {"19.950", 3, kFine, +1, "20.000"},
               {"-0.50", 0, kMedium, +1, "1.50"},      {"0.50", 0, kMedium, -1, "-1.50"},
               {"-5.00", 0, kCoarse, +1, "15.00"},     {"0.050", 1, kMedium, -1, "-0.150"},
               {"0.00", 0, kMedium, +1, "1.00"},       {"0.00", 0, kMedium, -1, "-1.00"},
               {"", 0, kMedium, -1, "-1.00"},          {"-5.00", 0, kCoarse, -1, "-15.00"},
               {"3.00", 0, kFine, -1, "2.90"},         {"-3.00", 0, kMedium, +1, "-2.00"},
               {"1.00", 0, kMedium, +5, "6.00"},       {"150", 0, kMedium, +1, "13.50"},
               {"1e3", 0, kMedium, +1, "(unchanged)"}, {"abc", 0, kMedium, +1, "(unchanged)"}};
  for (const auto& c : cases) {
    double x = 0;
    const bool stepped = StepValue(c.box, 12.5, c.type, c.step, c.delta, &x);
    EXPECT_EQ(stepped ? ValueToText(x, c.type) : "(unchanged)", c.shown) << c.box << " " << c.delta;
  }
}

TEST(EntryChecks, SetAndReplayMessagesAndWhatTheyStore) {
  double stored = 7.0;
  EXPECT_EQ(EntryMessage(CheckOutputEntry("abc", 0, &stored)), "出力値を数字で入力してください。");
  EXPECT_EQ(EntryMessage(CheckOutputEntry("20.5", 2, &stored)),
            "出力値は0～20mAの範囲で入力してください。");
  EXPECT_EQ(stored, 7.0);
  EXPECT_EQ(EntryMessage(CheckOutputEntry("-10", 1, &stored)), "");
  EXPECT_EQ(stored, -10.0);
  EXPECT_EQ(EntryMessage(CheckOutputEntry("", 1, &stored)), "");
  EXPECT_EQ(stored, 0.0);

  const std::string range = "繰り返し回数は1～65535の範囲で入力してください。";
  struct {
    const char* text;
    bool endless;
    std::string message;
    uint32_t stored;
    uint16_t count;  // to send, when accepted
  } replays[] = {{"0", false, range, 3, 99},
                 {"", false, range, 3, 99},
                 {"65536", false, range, 3, 99},
                 {"99999999999999999999", false, range, 3, 99},
                 {"1x", false, "繰り返し回数を数字で入力してください。", 3, 99},
                 {"65535", false, "", 65535, 65535},
                 {"junk", true, "", 3, 0}};  // endless never reads the box, and sends 0
  for (const auto& c : replays) {
    uint32_t count_stored = 3;
    uint16_t count = 99;
    EXPECT_EQ(EntryMessage(CheckReplayCount(c.text, c.endless, &count_stored, &count)), c.message);
    EXPECT_EQ(count_stored, c.stored) << c.text;
    if (c.message.empty()) {
      EXPECT_EQ(count, c.count) << c.text;
    }
  }
}

TEST(EntryChecks, SweepStoresEveryPassingFieldAndNamesTheLastFailingOne) {
  struct {
    SweepEntryTexts texts;
    int type;
    const char* message;
    const char* stored;  // from -100 100 500 500
  } cases[] = {
      {{"4", "20", "100", "0"}, 2, "", "4 20 100 0"},
      {{"x", "50", "60001", "7"}, 0, "T1は0～60000の範囲で入力してください。", "-100 50 500 7"},
      {{"200", "1.2.3", "10", "-1"},
       0,
       "T2は0～60000の範囲で入力してください。",
       "-100 100 10 500"},
      {{"200", "1.2.3", "10", "5"}, 0, "B点出力値を数字で入力してください。", "-100 100 10 5"},
      {{"200", "0", "10", "5"}, 1, "A点出力値は-10～10Vの範囲で入力してください。", "-100 0 10 5"},
      {{"1", "0", "1a", "5"}, 1, "T1を数字で入力してください。", "1 0 500 5"},
      // Both times zero is refused, but stored; a field's fault comes first.
      {{"-100", "100", "", "0"}, 0, "T1とT2のどちらかは0以外で入力してください。", "-100 100 0 0"},
      {{"-101", "100", "0", "0"},
       0,
       "A点出力値は-100～100mVの範囲で入力してください。",
       "-100 100 0 0"}};
  for (const auto& c : cases) {
    SweepSettings sweep{-100.0, 100.0, 500, 500};
    EXPECT_EQ(EntryMessage(CheckSweepEntries(c.texts, c.type, &sweep)), c.message) << c.texts.a;
    EXPECT_EQ(Sweep(sweep), c.stored) << c.texts.a;
  }
}

TEST(EntryChecks, RealtimeTickSendsOnChangeOrWhenForced) {
  double stored = 5.0;
  bool resend = true;
  EXPECT_TRUE(TakeRealtimeValue("5.00", 0, &stored, &resend));  // the forced first send
  EXPECT_FALSE(resend);
  EXPECT_FALSE(TakeRealtimeValue("5.00", 0, &stored, &resend));
  EXPECT_TRUE(TakeRealtimeValue("6.00", 0, &stored, &resend));
  // Out of range falls back to the stored value: nothing new to send.
  EXPECT_FALSE(TakeRealtimeValue("150", 0, &stored, &resend));
  EXPECT_FALSE(TakeRealtimeValue("abc", 0, &stored, &resend));
  EXPECT_EQ(stored, 6.0);
}

TEST(EntryChecks, CapturesKeepStoredValuesForInvalidTexts) {
  OutputSettings settings{};
  settings.output_value[1] = 2.5;
  settings.sweep[1] = SweepSettings{-10.0, 10.0, 500, 500};
  CaptureOutputTexts("12", {"-3.5", "abc", "70000", "0"}, 1, &settings);
  EXPECT_EQ(settings.output_value[1], 2.5);
  EXPECT_EQ(Sweep(settings.sweep[1]), "-3.5 10 500 0");  // one zero time is valid
  EXPECT_EQ(settings.output_value[0], 0.0);
  uint32_t count = 4;
  CaptureReplayCount("0", &count);
  EXPECT_EQ(count, 4u);
  CaptureReplayCount("12.5", &count);
  EXPECT_EQ(count, 12u);
}

TEST(SliderPosition, TenthsTruncatedAndKeptOnTheSlider) {
  const double inf = std::numeric_limits<double>::infinity();
  struct {
    double value;
    int min, max, position;
  } cases[] = {{12.39, -100, 100, 123},  {-12.39, -100, 100, -123},  {0.0, 0, 20, 0},
               {100.0, -100, 100, 1000}, {-100.0, -100, 100, -1000}, {1e300, 0, 20, 200},
               {-1e300, 0, 20, 0},       {inf, -10, 10, 100},        {std::nan(""), -10, 10, -100}};
  for (const auto& c : cases)
    EXPECT_EQ(SliderPosition(c.value, c.min, c.max), c.position) << c.value;
}
