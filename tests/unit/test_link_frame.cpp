#include <gtest/gtest.h>

#include <string>

#include "tests/unit/fake_link.h"

namespace {

std::vector<std::string> live_texts;

class LinkFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallFakeLink();
    live_texts.clear();
    show_live_report = [](const char* text, int, int) { live_texts.push_back(text); };
  }
};

const Bytes kLiveReply = {0x55, 0xC2, 0x00, 0x00, 0x04, 0x00, 0x01, 0x40, 0x00, 0x5D};

TEST_F(LinkFrame, NothingIsSentOrDrainedOnceTheTransportIsClosed) {
  Queue(kLiveReply);
  CloseTransport();
  SendFrame(CMD_CONNECT, 0, nullptr);
  ParseReceived();
  EXPECT_TRUE(fake_link.writes.empty());
  EXPECT_EQ(fake_link.chunks.size(), 1u);  // nothing drained
  EXPECT_EQ(fake_link.closes, 1);
  CloseTransport();
  EXPECT_EQ(fake_link.closes, 1);
}

TEST_F(LinkFrame, PayloadBeyondTheSendBufferIsNotSent) {
  static uint8_t payload[kMaxPayload + 1];
  SendFrame(CMD_SET_OUTPUT, kMaxPayload + 1, payload);
  SendFrame(CMD_SET_OUTPUT, 3, nullptr);
  EXPECT_TRUE(fake_link.writes.empty());
  SendFrame(CMD_SET_OUTPUT, kMaxPayload, payload);
  ASSERT_EQ(fake_link.writes.size(), 1u);
  EXPECT_EQ(fake_link.writes[0].size(), static_cast<size_t>(kFrameBufferSize));
}

TEST_F(LinkFrame, ReassemblesAcrossPollsAndSplitsDrains) {
  QueueChunked(kLiveReply, 1);
  for (size_t i = 0; i < kLiveReply.size(); ++i) ParseReceived();
  EXPECT_EQ(live_texts, std::vector<std::string>{"5.000"});

  // Leading garbage, then two frames in one drain, handled in order.
  Bytes stream = {0x00, 0x13, 0xFE};
  Bytes second = BuildFrame(0x55, 0xC2, 0, {0x00, 0x00, 0x40, 0x00});
  stream.insert(stream.end(), kLiveReply.begin(), kLiveReply.end());
  stream.insert(stream.end(), second.begin(), second.end());
  Queue(stream);
  ParseReceived();
  EXPECT_EQ(live_texts, (std::vector<std::string>{"5.000", "5.000", "50.00"}));
}

TEST_F(LinkFrame, BadChecksumIsDroppedSilently) {
  link_state.pending[CMD_GET_VERSION] = 1;
  link_state.last_frame_ms = 7;
  Bytes bad = BuildFrame(0x55, CMD_GET_VERSION, 0, {2, 1, 5, 0, 0, 0});
  bad.back() ^= 1;
  Queue(bad);
  ParseReceived();
  EXPECT_EQ(link_state.pending[CMD_GET_VERSION], 1);
  EXPECT_EQ(link_state.last_frame_ms, 7u);
  EXPECT_EQ(FindReplyRecord(CMD_GET_VERSION)->length, 0);
  EXPECT_EQ(receiver_state.state, WaitStart);
  Queue(kLiveReply);
  ParseReceived();
  EXPECT_EQ(live_texts.size(), 1u);
}

TEST_F(LinkFrame, HalfFrameIsAbandonedOnThe102ndEmptyPoll) {
  // After 101 empty polls the tail still completes it; after 102 the tail is
  // read as garbage. A later frame is fine either way.
  for (int empty_polls : {101, 102}) {
    live_texts.clear();
    Queue(Bytes(kLiveReply.begin(), kLiveReply.begin() + 4));
    ParseReceived();
    for (int i = 0; i < empty_polls; ++i) ParseReceived();
    EXPECT_EQ(receiver_state.state, empty_polls == 101 ? WaitLengthLow : WaitStart);
    Queue(Bytes(kLiveReply.begin() + 4, kLiveReply.end()));
    Queue(kLiveReply);
    ParseReceived();
    ParseReceived();
    EXPECT_EQ(live_texts.size(), empty_polls == 101 ? 2u : 1u) << empty_polls;
  }
}

TEST_F(LinkFrame, OversizedDeclarationNeverCompletesNorOverflows) {
  // 1024 data bytes is the largest frame that can complete.
  QueueChunked(BuildFrame(0x55, CMD_CONNECT, 3, Bytes(1024, 0x55)), kMaxDrain);
  while (!fake_link.chunks.empty()) ParseReceived();
  EXPECT_EQ(FindReplyRecord(CMD_CONNECT)->length, 1024);
  EXPECT_EQ(FindReplyRecord(CMD_CONNECT)->status, 3);

  Bytes big = BuildFrame(0x55, CMD_GET_SERIAL, 0, Bytes(4000, 0xAA));
  big[3] = 0x04;  // declare 1025 bytes, then send far more
  big[4] = 0x01;
  QueueChunked(big, kMaxDrain);
  while (!fake_link.chunks.empty()) ParseReceived();
  EXPECT_EQ(receiver_state.state, ReadData);
  EXPECT_EQ(receiver_state.data_index, kFrameBufferSize);
  EXPECT_EQ(receiver_state.empty_polls, 0u);  // the field behind the store is intact
  EXPECT_EQ(FindReplyRecord(CMD_GET_SERIAL)->length, 0);

  for (int i = 0; i < 102; ++i) ParseReceived();
  Queue(kLiveReply);
  ParseReceived();
  EXPECT_EQ(FindReplyRecord(CMD_GET_SERIAL)->length, 0);
  EXPECT_EQ(live_texts.size(), 1u);
}

TEST_F(LinkFrame, ANewTransportStartsWithTheParserAtItsStart) {
  // A wrong peer leaves the parser deep inside a long frame, still fed...
  Bytes noise = BuildFrame(0x55, CMD_GET_SERIAL, 0, Bytes(3000, 0x00));
  Queue(Bytes(noise.begin(), noise.begin() + 500));
  ParseReceived();
  ASSERT_EQ(receiver_state.state, ReadData);
  // ...and the next link's first answer is read at once.
  const LinkTransport same = current_transport;
  CloseTransport();
  InstallTransport(same);
  EXPECT_EQ(receiver_state.state, WaitStart);
  Queue(kLiveReply);
  ParseReceived();
  EXPECT_EQ(live_texts.size(), 1u);
}

}  // namespace
