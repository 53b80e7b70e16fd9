#include <gtest/gtest.h>

#include <vector>

#include "sim/instrument_model.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct ModelTest : ::testing::Test {
  InstrumentModel model;
  SimOptions options;

  void Start() { InitModel(&model, options, SecondsSince2000(2025, 1, 1, 0, 0, 0)); }
  void SetUp() override { Start(); }
  Bytes Exchange(uint8_t command, const Bytes& data = {}, int link = 0) {
    Bytes frame = BuildFrame(0xAA, command, 0, data), out;
    ModelReceive(&model, link, frame.data(), static_cast<int>(frame.size()));
    TakeDueAnswers(&model, link, &out);
    return out;
  }
  // Mode, output type and code of the live report at ms.
  void ExpectLive(uint64_t ms, int mode, int type, int16_t code) {
    AdvanceModel(&model, ms);
    const Bytes answer = Exchange(0xC2);
    ASSERT_EQ(answer.size(), 10u);
    EXPECT_EQ(
        (std::vector<int>{answer[5], answer[6], static_cast<int16_t>(answer[7] << 8 | answer[8])}),
        (std::vector<int>{mode, type, code}))
        << "at " << ms;
  }
};

const Bytes kVersion = BuildFrame(0x55, 0x42, 0, {2, 1, 5, 0, 0, 0});

TEST_F(ModelTest, AnswersFramesThatArriveByteByByteAndIgnoresDamagedOnes) {
  // What it answers is read off the client's frame log.
  Bytes out;
  for (uint8_t b : BuildFrame(0xAA, 0x42, 0, {})) ModelReceive(&model, 1, &b, 1);
  TakeDueAnswers(&model, 1, &out);
  EXPECT_EQ(out, kVersion);

  Bytes damaged = BuildFrame(0xAA, 0x10, 0, {});
  damaged.back() ^= 1;
  ModelReceive(&model, 0, damaged.data(), static_cast<int>(damaged.size()));
  EXPECT_FALSE(TakeDueAnswers(&model, 0, &out));
  // Wrong payload size and unknown command answer with a failing status.
  EXPECT_EQ(Exchange(0xC1, {1, 2}), BuildFrame(0xAA, 0xC1, 3, {}));
  EXPECT_EQ(Exchange(0x77), BuildFrame(0xAA, 0x77, 2, {}));
  // A half frame left standing is forgotten, and the next frame is read whole.
  const Bytes half = {0xAA, 0x42, 0x00};
  ModelReceive(&model, 0, half.data(), 3);
  AdvanceModel(&model, 1000);
  EXPECT_EQ(Exchange(0x42), kVersion);
}

TEST_F(ModelTest, ClockRunsAcrossALeapDay) {
  EXPECT_EQ(Exchange(0x40, {24, 2, 28, 23, 59, 59}), BuildFrame(0xAA, 0x40, 0, {}));
  AdvanceModel(&model, 2500);
  EXPECT_EQ(Exchange(0x41), BuildFrame(0x55, 0x41, 0, {24, 2, 29, 0, 0, 1}));
  EXPECT_EQ(Exchange(0x40, {26, 13, 1, 0, 0, 0}), BuildFrame(0xAA, 0x40, 4, {}));
}

TEST_F(ModelTest, LiveOutputFollowsSetSweepAndReplay) {
  // A = -1000 to B = 1000 in 1 s, back in 0.5 s.
  AdvanceModel(&model, 10000);
  Exchange(0xC6, {2, 0xFC, 0x18, 0x03, 0xE8, 0, 100, 0, 50});
  for (auto [ms, code] :
       {std::pair{10000, -1000}, {10500, 0}, {11000, 1000}, {11250, 0}, {11500, -1000}})
    ExpectLive(ms, 2, 2, static_cast<int16_t>(code));
  // Replay twice, then back to the set value; stop ends an endless replay.
  Exchange(0xC1, {2, 0x10, 0x00});
  AdvanceModel(&model, 20000);
  Exchange(0xC4, {3, 0, 2});
  ExpectLive(20000 + 9990, 1, 2, ReplaySample(3, 2, 499));
  ExpectLive(30000, 0, 2, 0x1000);
  Exchange(0xC4, {0, 0, 0});
  ExpectLive(300000, 1, 2, ReplaySample(0, 2, 0));
  Exchange(0xC5);
  ExpectLive(300000, 0, 2, 0x1000);
}

TEST_F(ModelTest, FaultsDelaysSilenceAndDropsShapeTheAnswers) {
  // Statuses, device code and silence are the client's tests' instruments; short
  // replies, the identification table's.
  options.bad_checksum[0xC5] = true;
  Start();
  Bytes stop = BuildFrame(0xAA, 0xC5, 0, {});
  stop.back() += 1;
  EXPECT_EQ(Exchange(0xC5), stop);

  options = SimOptions{};
  options.delay_ms = 300;
  Start();
  AdvanceModel(&model, 1000);
  EXPECT_TRUE(Exchange(0x10).empty());
  EXPECT_EQ(NextDueMs(&model), 1300u);
  AdvanceModel(&model, 1299);
  Bytes out;
  EXPECT_FALSE(TakeDueAnswers(&model, 0, &out));
  EXPECT_FALSE(TakeDueAnswers(&model, 1, &out));  // not due on the other link either
  AdvanceModel(&model, 1300);
  EXPECT_TRUE(TakeDueAnswers(&model, 0, &out));
  EXPECT_EQ(out, BuildFrame(0x55, 0x10, 0, {}));

  options = SimOptions{};
  options.silent_after = 2;
  options.drop_after = 1;
  Start();
  EXPECT_FALSE(Exchange(0x10).empty());  // answered, then the link drops
  EXPECT_TRUE(model.drop_requested[0]);
  ForgetLink(&model, 0);
  EXPECT_FALSE(Exchange(0x10).empty());  // the drop happens once
  EXPECT_FALSE(model.drop_requested[0]);
  EXPECT_TRUE(Exchange(0x10).empty());
  EXPECT_TRUE(Exchange(0x42).empty());
}

}  // namespace
