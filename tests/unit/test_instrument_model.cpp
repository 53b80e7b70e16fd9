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
    Bytes frame = BuildFrame(0xAA, command, 0, data);
    ModelReceive(&model, link, frame.data(), static_cast<int>(frame.size()));
    Bytes out;
    TakeDueAnswers(&model, link, &out);
    return out;
  }
  void At(uint64_t ms) { AdvanceModel(&model, ms); }
  // Mode, output type and code of the live report.
  void ExpectLive(int mode, int type, int16_t code) {
    Bytes answer = Exchange(0xC2);
    ASSERT_EQ(10u, answer.size());
    EXPECT_EQ(mode, answer[5]);
    EXPECT_EQ(type, answer[6]);
    EXPECT_EQ(code, static_cast<int16_t>(answer[7] << 8 | answer[8])) << "at " << model.now_ms;
  }
};

TEST_F(ModelTest, IdentifiesItselfEvenWhenFramesArriveByteByByte) {
  Bytes connect = BuildFrame(0xAA, 0x10, 0, {});
  for (uint8_t b : connect) ModelReceive(&model, 1, &b, 1);
  Bytes out;
  TakeDueAnswers(&model, 1, &out);
  EXPECT_EQ((Bytes{0x55, 0x10, 0, 0, 0, 0x66}), out);
  EXPECT_EQ(BuildFrame(0x55, 0x42, 0, {2, 1, 5, 0, 0, 0}), Exchange(0x42));
  EXPECT_EQ(BuildFrame(0x55, 0x43, 0, {'R', 'S', '6', '2', '0', '0', '4', '2'}), Exchange(0x43));
}

TEST_F(ModelTest, RejectsDamagedOrMalformedFrames) {
  Bytes frame = BuildFrame(0xAA, 0x10, 0, {});
  frame.back() ^= 1;
  ModelReceive(&model, 0, frame.data(), static_cast<int>(frame.size()));
  Bytes out;
  EXPECT_FALSE(TakeDueAnswers(&model, 0, &out));
  // Wrong payload size and unknown command answer with a failing status.
  EXPECT_EQ(BuildFrame(0xAA, 0xC1, 3, {}), Exchange(0xC1, {1, 2}));
  EXPECT_EQ(BuildFrame(0xAA, 0x77, 2, {}), Exchange(0x77));
  // A half frame left standing is forgotten, and the next frame is read whole.
  Bytes half = {0xAA, 0x42, 0x00};
  ModelReceive(&model, 0, half.data(), 3);
  At(1000);
  EXPECT_EQ(BuildFrame(0x55, 0x42, 0, {2, 1, 5, 0, 0, 0}), Exchange(0x42));
}

TEST_F(ModelTest, ClockRunsAcrossALeapDay) {
  EXPECT_EQ(BuildFrame(0xAA, 0x40, 0, {}), Exchange(0x40, {24, 2, 28, 23, 59, 59}));
  At(2500);
  EXPECT_EQ(BuildFrame(0x55, 0x41, 0, {24, 2, 29, 0, 0, 1}), Exchange(0x41));
  EXPECT_EQ(BuildFrame(0xAA, 0x40, 4, {}), Exchange(0x40, {26, 13, 1, 0, 0, 0}));
}

TEST_F(ModelTest, LiveOutputFollowsSetSweepAndReplay) {
  Exchange(0xC1, {1, 0x40, 0x00});
  ExpectLive(0, 1, 0x4000);

  // A = -1000 to B = 1000 in 1 s, back in 0.5 s.
  At(10000);
  Exchange(0xC6, {2, 0xFC, 0x18, 0x03, 0xE8, 0, 100, 0, 50});
  ExpectLive(2, 2, -1000);
  At(10500);
  ExpectLive(2, 2, 0);
  At(11000);
  ExpectLive(2, 2, 1000);
  At(11250);
  ExpectLive(2, 2, 0);
  At(11500);
  ExpectLive(2, 2, -1000);

  // Replay twice, then back to the set value; stop ends an endless replay.
  Exchange(0xC1, {2, 0x10, 0x00});
  At(20000);
  Exchange(0xC4, {3, 0, 2});
  At(20000 + 9990);
  ExpectLive(1, 2, ReplaySample(3, 2, 499));
  At(30000);
  ExpectLive(0, 2, 0x1000);
  Exchange(0xC4, {0, 0, 0});
  At(300000);
  ExpectLive(1, 2, ReplaySample(0, 2, 0));
  Exchange(0xC5);
  ExpectLive(0, 2, 0x1000);
}

TEST_F(ModelTest, FaultsShapeTheAnswers) {
  options.status_override[0x10] = 5;
  options.device_code = 7;
  options.short_reply[0x43] = true;
  options.bad_checksum[0xC5] = true;
  Start();
  EXPECT_EQ(BuildFrame(0x55, 0x10, 5, {}), Exchange(0x10));
  EXPECT_EQ(BuildFrame(0x55, 0x42, 0, {7, 1, 5, 0, 0, 0}), Exchange(0x42));
  EXPECT_EQ(BuildFrame(0x55, 0x43, 0, {'R', 'S', '6', '2', '0', '0', '4'}), Exchange(0x43));
  Bytes stop = BuildFrame(0xAA, 0xC5, 0, {});
  stop.back() += 1;
  EXPECT_EQ(stop, Exchange(0xC5));
}

TEST_F(ModelTest, DelayedAnswersWaitForTheirTime) {
  options.delay_ms = 300;
  Start();
  At(1000);
  EXPECT_TRUE(Exchange(0x10).empty());
  EXPECT_EQ(1300u, NextDueMs(&model));
  At(1299);
  Bytes out;
  EXPECT_FALSE(TakeDueAnswers(&model, 0, &out));
  EXPECT_FALSE(TakeDueAnswers(&model, 1, &out));  // not due on the other link either
  At(1300);
  EXPECT_TRUE(TakeDueAnswers(&model, 0, &out));
  EXPECT_EQ(BuildFrame(0x55, 0x10, 0, {}), out);
}

TEST_F(ModelTest, GoesSilentOrDropsTheLinkAfterCountedFrames) {
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
