#include <gtest/gtest.h>

#include "output/entry_checks.h"
#include "output/output_types.h"
#include "output/step_rule.h"

namespace {

enum Step { kCoarse = 0, kMedium = 1, kFine = 2 };

// The box text after one step click, as the page shows it.
std::string Stepped(const char* box, int type, int step, int delta, double stored = 0.0) {
  double x = 0;
  if (!StepValue(box, stored, type, step, delta, &x)) return "(unchanged)";
  return ValueToText(x, type);
}

// The pages' messages for each check.
std::string OutputMessage(const char* text, int type, double* stored) {
  return EntryMessage(CheckOutputEntry(text, type, stored));
}

std::string SweepMessage(const SweepEntryTexts& texts, int type, SweepSettings* sweep) {
  return EntryMessage(CheckSweepEntries(texts, type, sweep));
}

std::string ReplayMessage(const char* text, bool endless, uint32_t* stored, uint16_t* count) {
  return EntryMessage(CheckReplayCount(text, endless, stored, count));
}

SweepSettings DefaultSweep() {
  return SweepSettings{-100.0, 100.0, 500, 500};
}

}  // namespace

TEST(StepRule, ClampsAtTheRangeEnds) {
  EXPECT_EQ(Stepped("95.00", 0, kCoarse, +1), "100.00");
  EXPECT_EQ(Stepped("-99.00", 0, kCoarse, -1), "-100.00");
  EXPECT_EQ(Stepped("0.50", 2, kMedium, -1), "0.000");
  EXPECT_EQ(Stepped("19.950", 3, kFine, +1), "20.000");
}

TEST(StepRule, MirrorsWhenTheStepCrossesZero) {
  EXPECT_EQ(Stepped("-0.50", 0, kMedium, +1), "1.50");
  EXPECT_EQ(Stepped("0.50", 0, kMedium, -1), "-1.50");
  EXPECT_EQ(Stepped("-5.00", 0, kCoarse, +1), "15.00");
  EXPECT_EQ(Stepped("0.050", 1, kMedium, -1), "-0.150");
  // Same direction as the sign, or a step smaller than the value: plain sum.
  EXPECT_EQ(Stepped("-5.00", 0, kCoarse, -1), "-15.00");
  EXPECT_EQ(Stepped("3.00", 0, kFine, -1), "2.90");
  EXPECT_EQ(Stepped("-3.00", 0, kMedium, +1), "-2.00");
}

TEST(StepRule, ZeroIsNeverMirrored) {
  EXPECT_EQ(Stepped("0.00", 0, kMedium, +1), "1.00");
  EXPECT_EQ(Stepped("0.00", 0, kMedium, -1), "-1.00");
  EXPECT_EQ(Stepped("", 0, kMedium, -1), "-1.00");
}

TEST(StepRule, HeldArrowAndInvalidBoxes) {
  EXPECT_EQ(Stepped("1.00", 0, kMedium, +5), "6.00");
  // Out of range: the stored value is the base.
  EXPECT_EQ(Stepped("150", 0, kMedium, +1, 12.5), "13.50");
  // Not a number: nothing happens.
  EXPECT_EQ(Stepped("1e3", 0, kMedium, +1, 12.5), "(unchanged)");
  EXPECT_EQ(Stepped("abc", 0, kMedium, +1, 12.5), "(unchanged)");
}

TEST(SetEntry, MessagesAndStoring) {
  double stored = 7.0;
  EXPECT_EQ(OutputMessage("abc", 0, &stored), "出力値を数字で入力してください。");
  EXPECT_EQ(OutputMessage("20.5", 2, &stored), "出力値は0～20mAの範囲で入力してください。");
  EXPECT_EQ(stored, 7.0);
  EXPECT_EQ(OutputMessage("-10", 1, &stored), "");
  EXPECT_EQ(stored, -10.0);
  EXPECT_EQ(OutputMessage("", 1, &stored), "");
  EXPECT_EQ(stored, 0.0);
}

TEST(SweepEntries, ValidEntriesAreAllStored) {
  SweepSettings sweep{0, 0, 1, 1};
  EXPECT_EQ(SweepMessage({"4", "20", "100", "0"}, 2, &sweep), "");
  EXPECT_EQ(sweep.a, 4.0);
  EXPECT_EQ(sweep.b, 20.0);
  EXPECT_EQ(sweep.t1, 100u);
  EXPECT_EQ(sweep.t2, 0u);
}

TEST(SweepEntries, LastFailingFieldWinsAndPassingFieldsAreStored) {
  SweepSettings sweep = DefaultSweep();
  EXPECT_EQ(SweepMessage({"x", "50", "60001", "7"}, 0, &sweep),
            "T1は0～60000の範囲で入力してください。");
  EXPECT_EQ(sweep.a, -100.0);
  EXPECT_EQ(sweep.b, 50.0);
  EXPECT_EQ(sweep.t1, 500u);
  EXPECT_EQ(sweep.t2, 7u);

  sweep = DefaultSweep();
  EXPECT_EQ(SweepMessage({"200", "1.2.3", "10", "-1"}, 0, &sweep),
            "T2は0～60000の範囲で入力してください。");
  EXPECT_EQ(SweepMessage({"200", "1.2.3", "10", "5"}, 0, &sweep),
            "B点出力値を数字で入力してください。");
  EXPECT_EQ(SweepMessage({"200", "0", "10", "5"}, 1, &sweep),
            "A点出力値は-10～10Vの範囲で入力してください。");
  EXPECT_EQ(SweepMessage({"1", "0", "1a", "5"}, 1, &sweep), "T1を数字で入力してください。");
}

TEST(SweepEntries, BothTimesZeroIsRejectedButStored) {
  SweepSettings sweep = DefaultSweep();
  EXPECT_EQ(SweepMessage({"-100", "100", "", "0"}, 0, &sweep),
            "T1とT2のどちらかは0以外で入力してください。");
  EXPECT_EQ(sweep.t1, 0u);
  EXPECT_EQ(sweep.t2, 0u);
  // A field error takes precedence over the both-zero rule.
  EXPECT_EQ(SweepMessage({"-101", "100", "0", "0"}, 0, &sweep),
            "A点出力値は-100～100mVの範囲で入力してください。");
}

TEST(ReplayCount, RangeAndEndless) {
  const std::string range = "繰り返し回数は1～65535の範囲で入力してください。";
  uint32_t stored = 3;
  uint16_t count = 99;
  EXPECT_EQ(ReplayMessage("0", false, &stored, &count), range);
  EXPECT_EQ(ReplayMessage("", false, &stored, &count), range);
  EXPECT_EQ(ReplayMessage("65536", false, &stored, &count), range);
  EXPECT_EQ(ReplayMessage("99999999999999999999", false, &stored, &count), range);
  EXPECT_EQ(ReplayMessage("1x", false, &stored, &count), "繰り返し回数を数字で入力してください。");
  EXPECT_EQ(stored, 3u);
  EXPECT_EQ(ReplayMessage("65535", false, &stored, &count), "");
  EXPECT_EQ(count, 65535);
  EXPECT_EQ(stored, 65535u);
  // Endless never reads the box and sends 0.
  EXPECT_EQ(ReplayMessage("junk", true, &stored, &count), "");
  EXPECT_EQ(count, 0);
  EXPECT_EQ(stored, 65535u);
}

TEST(RealtimeTick, SendsOnChangeOrWhenForced) {
  double stored = 5.0;
  bool resend = true;
  EXPECT_TRUE(TakeRealtimeValue("5.00", 0, &stored, &resend));  // the forced first send
  EXPECT_FALSE(resend);
  EXPECT_FALSE(TakeRealtimeValue("5.00", 0, &stored, &resend));
  EXPECT_TRUE(TakeRealtimeValue("6.00", 0, &stored, &resend));
  EXPECT_EQ(stored, 6.0);
  // Out of range falls back to the stored value: nothing new to send.
  EXPECT_FALSE(TakeRealtimeValue("150", 0, &stored, &resend));
  EXPECT_FALSE(TakeRealtimeValue("abc", 0, &stored, &resend));
  EXPECT_EQ(stored, 6.0);
}

TEST(Capture, KeepsStoredValuesForInvalidTexts) {
  OutputSettings settings{};
  settings.output_value[1] = 2.5;
  settings.sweep[1] = SweepSettings{-10.0, 10.0, 500, 500};
  CaptureOutputTexts("12", {"-3.5", "abc", "70000", "0"}, 1, &settings);
  EXPECT_EQ(settings.output_value[1], 2.5);
  EXPECT_EQ(settings.sweep[1].a, -3.5);
  EXPECT_EQ(settings.sweep[1].b, 10.0);
  EXPECT_EQ(settings.sweep[1].t1, 500u);
  EXPECT_EQ(settings.sweep[1].t2, 0u);  // one zero time is a valid entry
  EXPECT_EQ(settings.output_value[0], 0.0);

  uint32_t count = 4;
  CaptureReplayCount("0", &count);
  EXPECT_EQ(count, 4u);
  CaptureReplayCount("12.5", &count);
  EXPECT_EQ(count, 12u);
}
