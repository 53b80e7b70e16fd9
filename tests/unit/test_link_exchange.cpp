#include <gtest/gtest.h>

#include "tests/unit/fake_link.h"

namespace {

class LinkExchange : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakeLink(); }
};

TEST_F(LinkExchange, AckOrReplyEndsTheWaitOtherAnswersDoNot) {
  // An acknowledgement may carry data; it is ignored and fills no record.
  fake_link.on_write = [](const Bytes& f) { Queue(BuildFrame(0xAA, f[1], 0, {1, 2, 3, 4, 5, 6})); };
  EXPECT_EQ(SendCommandAndWait(CMD_GET_CLOCK, 0, nullptr), 0);
  EXPECT_EQ(fake_link.sleeps, 1u);  // found by the first parse
  EXPECT_EQ(FindReplyRecord(CMD_GET_CLOCK)->length, 0);

  fake_link.on_write = [](const Bytes& f) { Queue(BuildFrame(0x55, f[1], 0, {0, 0, 0, 0})); };
  EXPECT_EQ(SendCommandAndWait(CMD_GET_OUTPUT, 0, nullptr), 0);

  fake_link.on_write = [](const Bytes&) { Queue(BuildFrame(0xAA, CMD_STOP_REPLAY, 0, {})); };
  EXPECT_EQ(SendCommandAndWait(CMD_START_REPLAY, 0, nullptr), 1);
}

TEST_F(LinkExchange, TimeOutIsStrictlyAfter2000MsEvenAcrossAClockWrapAndLeavesThePendingFlag) {
  for (uint32_t start : {5000u, 0xFFFFFF00u}) {
    fake_link.now_ms = start;
    fake_link.sleeps = 0;
    EXPECT_EQ(SendCommandAndWait(CMD_GET_VERSION, 0, nullptr), 1);
    // At exactly 2000 ms the wait goes on for one more step.
    EXPECT_EQ(fake_link.now_ms - start, 2010u) << start;
    EXPECT_EQ(fake_link.sleeps, 201u) << start;
  }
  EXPECT_EQ(link_state.pending[CMD_GET_VERSION], 1);

  // A late answer still clears the flag and fills the record.
  Queue(BuildFrame(0x55, CMD_GET_VERSION, 0, {2, 1, 5, 0, 0, 0}));
  PollLink();
  EXPECT_EQ(link_state.pending[CMD_GET_VERSION], 0);
  EXPECT_EQ(instrument_identity.firmware_version, 105);
}

TEST_F(LinkExchange, LostLinkSendsNothing) {
  link_state.link_lost = true;
  EXPECT_EQ(SendCommandAndWait(CMD_SET_OUTPUT, 0, nullptr), 0);
  EXPECT_TRUE(fake_link.writes.empty());
  EXPECT_EQ(link_state.pending[CMD_SET_OUTPUT], 0);
}

TEST_F(LinkExchange, LinkIsLostOnThePollAfterTenSilentSecondsAndReportedOnce) {
  StartLinkWatch();
  fake_link.now_ms += 9000;
  Queue(BuildFrame(0xAA, CMD_GET_OUTPUT, 0, {}));  // a good frame restarts the count
  EXPECT_EQ(PollLink(), 0);
  fake_link.now_ms += kLinkLostMs;  // exactly 10 s is not yet more than 10 s
  EXPECT_EQ(PollLink(), 0);
  fake_link.now_ms += 1;
  EXPECT_EQ(PollLink(), -1);
  EXPECT_TRUE(link_state.link_lost);
  fake_link.now_ms += kLinkLostMs + 1;
  EXPECT_EQ(PollLink(), 0);
}

TEST_F(LinkExchange, PollsHeldUpByStalledWritesStillLoseTheLinkAfterAboutTenSeconds) {
  // A second a write, as a port whose output stalls would cost a caller that waited on it.
  fake_link.on_write = [](const Bytes&) { fake_link.now_ms += 1000; };
  StartLinkWatch();
  const uint32_t start = fake_link.now_ms;
  int polls = 0;
  while (PollLink() == 0) {
    SendFrame(CMD_GET_OUTPUT, 0, nullptr);
    ASSERT_LT(++polls, 20);
  }
  EXPECT_GT(fake_link.now_ms - start, kLinkLostMs);
  EXPECT_LE(fake_link.now_ms - start, kLinkLostMs + 1000);
}

TEST_F(LinkExchange, DisconnectTellsTheInstrumentThenCloses) {
  fake_link.on_write = [](const Bytes& f) {
    EXPECT_EQ(fake_link.closes, 0);
    Queue(BuildFrame(0xAA, f[1], 0, {}));
  };
  Disconnect();
  EXPECT_EQ(fake_link.timer_stops, 1);
  ASSERT_EQ(fake_link.writes.size(), 1u);
  EXPECT_EQ(fake_link.writes[0][1], CMD_DISCONNECT);
  EXPECT_EQ(fake_link.closes, 1);
}

}  // namespace
