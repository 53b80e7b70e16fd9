// The simulator's model, fed a byte at a time as its clock moves.
#include <gtest/gtest.h>

#include <vector>

#include "sim/instrument_model.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pc(uint8_t command, const Bytes& data = {}) {
  return BuildFrame(0xAA, command, 0, data);
}
Bytes Ack(uint8_t command, uint8_t status = 0) {
  return BuildFrame(0xAA, command, status, {});
}
Bytes Reply(uint8_t command, const Bytes& data = {}) {
  return BuildFrame(0x55, command, 0, data);
}
// The live report: mode, output type and code.
Bytes Live(uint8_t mode, uint8_t type, int16_t code) {
  const uint16_t word = static_cast<uint16_t>(code);
  return Reply(0xC2, {mode, type, static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)});
}

struct Step {
  uint64_t ms;    // the model's clock when the bytes arrive
  Bytes in, out;  // out: the answers due by then
  int link = 0;
};

InstrumentModel Started(const SimOptions& options) {
  InstrumentModel model;
  InitModel(&model, options, SecondsSince2000(2025, 1, 1, 0, 0, 0));
  return model;
}

void Feed(InstrumentModel* model, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    AdvanceModel(model, s.ms);
    for (uint8_t b : s.in) ModelReceive(model, s.link, &b, 1);
    Bytes out;
    TakeDueAnswers(model, s.link, &out);
    EXPECT_EQ(out, s.out) << "at " << s.ms;
  }
}

TEST(SimModel, AnswersFramesAndRunsItsClockAndOutput) {
  const Bytes version = Reply(0x42, {2, 1, 5, 0, 0, 0});
  Bytes damaged = Pc(0x10);
  damaged.back() ^= 1;
  const std::vector<Step> steps = {
      {0, Pc(0x42), version, 1},  // the pty link
      {0, damaged, {}},
      // Wrong payload size and unknown command answer with a failing status.
      {0, Pc(0xC1, {1, 2}), Ack(0xC1, 3)},
      {0, Pc(0x77), Ack(0x77, 2)},
      // A half frame left standing is forgotten, and the next one is read whole.
      {0, {0xAA, 0x42, 0x00}, {}},
      {1000, Pc(0x42), version},
      // The clock runs across a leap day; month 13 is refused.
      {1000, Pc(0x40, {24, 2, 28, 23, 59, 59}), Ack(0x40)},
      {3500, Pc(0x41), Reply(0x41, {24, 2, 29, 0, 0, 1})},
      {3500, Pc(0x40, {26, 13, 1, 0, 0, 0}), Ack(0x40, 4)},
      // A = -1000 to B = 1000 in 1 s, back in 0.5 s.
      {10000, Pc(0xC6, {2, 0xFC, 0x18, 0x03, 0xE8, 0, 100, 0, 50}), Ack(0xC6)},
      {10000, Pc(0xC2), Live(2, 2, -1000)},
      {10500, Pc(0xC2), Live(2, 2, 0)},
      {11000, Pc(0xC2), Live(2, 2, 1000)},
      {11250, Pc(0xC2), Live(2, 2, 0)},
      {11500, Pc(0xC2), Live(2, 2, -1000)},
      // Replay twice, then back to the set value; stop ends an endless replay.
      {11500, Pc(0xC1, {2, 0x10, 0x00}), Ack(0xC1)},
      {20000, Pc(0xC4, {3, 0, 2}), Ack(0xC4)},
      {29990, Pc(0xC2), Live(1, 2, ReplaySample(3, 2, 499))},
      {30000, Pc(0xC2), Live(0, 2, 0x1000)},
      {30000, Pc(0xC4, {0, 0, 0}), Ack(0xC4)},
      {300000, Pc(0xC2), Live(1, 2, ReplaySample(0, 2, 0))},
      {300000, Pc(0xC5), Ack(0xC5)},
      {300000, Pc(0xC2), Live(0, 2, 0x1000)},
  };
  InstrumentModel model = Started(SimOptions{});
  Feed(&model, steps);
}

TEST(SimModel, FaultsDelaysSilenceAndDropsShapeTheAnswers) {
  // Statuses, device code and silence are the client's tests' instruments; short
  // replies, the identification table's.
  SimOptions options;
  options.bad_checksum[0xC5] = true;
  InstrumentModel model = Started(options);
  Bytes stop = Ack(0xC5);
  stop.back() += 1;
  Feed(&model, {{0, Pc(0xC5), stop}});

  options = SimOptions{};
  options.delay_ms = 300;
  model = Started(options);
  // Not due before its time, nor ever on the other link.
  Feed(&model, {{1000, Pc(0x10), {}}, {1299, {}, {}}, {1300, {}, {}, 1}});
  EXPECT_EQ(NextDueMs(&model), 1300u);
  Feed(&model, {{1300, {}, Reply(0x10)}});

  options = SimOptions{};
  options.silent_after = 2;
  options.drop_after = 1;
  model = Started(options);
  Feed(&model, {{0, Pc(0x10), Reply(0x10)}});  // answered, then the link drops
  EXPECT_TRUE(model.drop_requested[0]);
  ForgetLink(&model, 0);
  // The drop happens once.
  Feed(&model, {{0, Pc(0x10), Reply(0x10)}, {0, Pc(0x10), {}}, {0, Pc(0x42), {}}});
  EXPECT_FALSE(model.drop_requested[0]);

  // A stall after the second frame since a connect: once per connect.
  options = SimOptions{};
  options.stall_after = 2;
  options.stall_ms = 3000;
  model = Started(options);
  Feed(&model,
       {{0, Pc(0x10), Reply(0x10)}, {0, Pc(0x77), Ack(0x77, 2)}, {5000, Pc(0x77), Ack(0x77, 2)}});
  EXPECT_EQ(model.stall_until_ms[0], 3000u);
  Feed(&model, {{6000, Pc(0x10), Reply(0x10)}, {7000, Pc(0x77), Ack(0x77, 2)}});
  EXPECT_EQ(model.stall_until_ms[0], 10000u);
}

}  // namespace
