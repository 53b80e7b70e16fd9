// The link core against the scripted transport and clock of fake_link.h:
// frames in and out, the exchange of a command, the instrument's commands.
#include <gtest/gtest.h>

#include <string>

#include "tests/unit/fake_link.h"

namespace {

InstrumentModel model;           // the instrument, where one answers
std::vector<std::string> shown;  // the live reports: text, type, mode

class Link : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallFakeLink();
    shown.clear();
    show_live_report = [](const char* text, int type, int mode) {
      shown.push_back(std::string(text) + " " + std::to_string(type) + " " + std::to_string(mode));
    };
  }
};

const Bytes kLiveReply = {0x55, 0xC2, 0x00, 0x00, 0x04, 0x00, 0x01, 0x40, 0x00, 0x5D};
// A version reply with its checksum one bit off.
const Bytes kDamaged = {0x55, 0x42, 0x00, 0x00, 0x06, 0x02, 0x01, 0x05, 0x00, 0x00, 0x00, 0xA7};

TEST_F(Link, AClosedTransportSendsAndDrainsNothingAndANewOneStartsTheParserAfresh) {
  // A wrong peer leaves the parser deep inside a long frame, still fed...
  Bytes noise = BuildFrame(0x55, CMD_GET_SERIAL, 0, Bytes(3000, 0x00));
  Queue(Bytes(noise.begin(), noise.begin() + 500));
  ParseReceived();
  ASSERT_EQ(receiver_state.state, ReadData);
  const LinkTransport same = current_transport;
  CloseTransport();
  Queue(kLiveReply);
  SendFrame(CMD_CONNECT, 0, nullptr);
  ParseReceived();
  EXPECT_TRUE(fake_link.writes.empty());
  EXPECT_EQ(fake_link.chunks.size(), 1u);  // nothing drained
  CloseTransport();
  EXPECT_EQ(fake_link.closes, 1);
  // ...and the next link's first answer is read at once.
  InstallTransport(same);
  EXPECT_EQ(receiver_state.state, WaitStart);
  ParseReceived();
  EXPECT_EQ(shown.size(), 1u);
}

TEST_F(Link, PayloadBeyondTheSendBufferIsNotSent) {
  static uint8_t payload[kMaxPayload + 1];
  SendFrame(CMD_SET_OUTPUT, kMaxPayload + 1, payload);
  SendFrame(CMD_SET_OUTPUT, 3, nullptr);
  EXPECT_TRUE(fake_link.writes.empty());
  SendFrame(CMD_SET_OUTPUT, kMaxPayload, payload);
  ASSERT_EQ(fake_link.writes.size(), 1u);
  EXPECT_EQ(fake_link.writes[0].size(), static_cast<size_t>(kFrameBufferSize));
}

TEST_F(Link, LiveRepliesShowTextTypeAndModeHoweverCutAndADamagedFrameLeavesNoTrace) {
  // Garbage and a damaged frame before the replies.
  Bytes stream = {0x00, 0x13, 0xFE};
  stream.insert(stream.end(), kDamaged.begin(), kDamaged.end());
  link_state.pending[CMD_GET_VERSION] = 1;
  for (const Bytes& data :
       {Bytes{0x00, 0x01, 0x40, 0x00}, Bytes{0x02, 0x00, 0x40, 0x00}, Bytes{0x01, 0x02, 0x40, 0x00},
        Bytes{0x00, 0x00, 0xC0, 0x00}, Bytes{0x00, 0x00, 0x80, 0x00}, Bytes{0x00, 0x07, 0x40, 0x00},
        Bytes{0x00, 0x01, 0x40, 0x00, 0x00}}) {  // the last has five bytes
    const Bytes frame = BuildFrame(0x55, CMD_GET_OUTPUT, 0, data);
    stream.insert(stream.end(), frame.begin(), frame.end());
  }
  const Bytes failing = BuildFrame(0x55, CMD_GET_OUTPUT, 1, {0x00, 0x01, 0x40, 0x00});
  stream.insert(stream.end(), failing.begin(), failing.end());
  // Byte by byte, several frames and parts of frames a drain, all at once.
  for (size_t chunk : {1, 13, kMaxDrain}) {
    shown.clear();
    QueueChunked(stream, chunk);
    while (!fake_link.chunks.empty()) ParseReceived();
    EXPECT_EQ(shown, (std::vector<std::string>{"5.000 1 0", "50.00 0 2", "10.000 2 1", "-50.00 0 0",
                                               "-100.00 0 0", "- 7 0"}))
        << chunk;
  }
  EXPECT_EQ(FindReplyRecord(CMD_GET_OUTPUT)->status, 1);  // still stored
  EXPECT_EQ(link_state.pending[CMD_GET_VERSION], 1);
  EXPECT_EQ(FindReplyRecord(CMD_GET_VERSION)->length, 0);
}

TEST_F(Link, HalfFrameIsAbandonedOnThe102ndEmptyPoll) {
  // After 101 empty polls the tail still completes it; after 102 the tail is
  // read as garbage. A later frame is fine either way.
  for (int empty_polls : {101, 102}) {
    shown.clear();
    Queue(Bytes(kLiveReply.begin(), kLiveReply.begin() + 4));
    ParseReceived();
    for (int i = 0; i < empty_polls; ++i) ParseReceived();
    EXPECT_EQ(receiver_state.state, empty_polls == 101 ? WaitLengthLow : WaitStart);
    Queue(Bytes(kLiveReply.begin() + 4, kLiveReply.end()));
    Queue(kLiveReply);
    ParseReceived();
    ParseReceived();
    EXPECT_EQ(shown.size(), empty_polls == 101 ? 2u : 1u) << empty_polls;
  }
}

TEST_F(Link, OversizedDeclarationNeverCompletesNorOverflows) {
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
  EXPECT_EQ(shown.size(), 1u);
}

TEST_F(Link, AckOrReplyEndsTheWaitOtherAnswersDoNot) {
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

TEST_F(Link, TimeOutIsStrictlyAfter2000MsEvenAcrossAClockWrapAndLeavesThePendingFlag) {
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

TEST_F(Link, LinkIsLostOnThePollAfterTenSilentSecondsReportedOnceAndThenSendsNothing) {
  StartLinkWatch();
  fake_link.now_ms += 9000;
  Queue(BuildFrame(0xAA, CMD_GET_OUTPUT, 0, {}));  // a good frame restarts the count
  EXPECT_EQ(PollLink(), 0);
  fake_link.now_ms += kLinkLostMs;  // exactly 10 s is not yet more than 10 s
  Queue(kDamaged);                  // and a damaged frame does not restart it
  EXPECT_EQ(PollLink(), 0);
  fake_link.now_ms += 1;
  EXPECT_EQ(PollLink(), -1);
  EXPECT_TRUE(link_state.link_lost);
  fake_link.now_ms += kLinkLostMs + 1;
  EXPECT_EQ(PollLink(), 0);
  // A lost link sends nothing, and no command waits for it.
  EXPECT_EQ(SendCommandAndWait(CMD_SET_OUTPUT, 0, nullptr), 0);
  EXPECT_TRUE(fake_link.writes.empty());
  EXPECT_EQ(link_state.pending[CMD_SET_OUTPUT], 0);
}

TEST_F(Link, PollsHeldUpByStalledWritesStillLoseTheLinkAfterAboutTenSeconds) {
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

TEST_F(Link, DisconnectTellsTheInstrumentThenCloses) {
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

TEST_F(Link, IdentificationResultsAndTheIdentityTheyLeave) {
  struct Case {
    const char* what;
    void (*change)(SimOptions&);
    int result;
    const char* identity;
  } cases[] = {
      {"connect status 5", [](SimOptions& o) { o.status_override[0x10] = 5; }, 0, "2 105 RS620042"},
      // What is not read, or read short, is left as it was (device code 4 on a first connection).
      {"connect refused", [](SimOptions& o) { o.status_override[0x10] = 1; }, -2, "4 0 00000000"},
      {"no serial", [](SimOptions& o) { o.silent_after = 2; }, -3, "2 105 00000000"},
      {"five-byte version", [](SimOptions& o) { o.short_reply[0x42] = true; }, -4, "4 0 00000000"},
      {"seven-byte serial", [](SimOptions& o) { o.short_reply[0x43] = true; }, 0, "2 105 00000000"},
  };
  for (const Case& c : cases) {
    SetUp();
    SimOptions options;
    c.change(options);
    InitModel(&model, options, 0);
    fake_link.on_write = [](const Bytes& frame) { AnswerFrom(&model, frame); };
    EXPECT_EQ(IdentifyInstrument(), c.result) << c.what;
    const InstrumentIdentity& i = instrument_identity;
    EXPECT_EQ(std::to_string(i.device_code) + " " + std::to_string(i.firmware_version) + " " +
                  i.serial_number,
              c.identity)
        << c.what;
  }
  EXPECT_EQ(FindReplyRecord(CMD_GET_SERIAL)->length, 7);  // a short reply is still recorded
}

TEST_F(Link, ClockReadInInstrumentLayoutCountsOnlyAFreshTime) {
  const Bytes time = {0x1B, 0x01, 0x1F, 0x17, 0x3B, 0x3A};
  struct Case {
    const char* what;
    Bytes answer;  // what the instrument says, if anything
    int result;
  } cases[] = {
      {"a clock reply", BuildFrame(0x55, CMD_GET_CLOCK, 0, time), 0},
      {"an acknowledgement", BuildFrame(0xAA, CMD_GET_CLOCK, 0, {}), 1},
      {"a failing status", BuildFrame(0x55, CMD_GET_CLOCK, 1, time), 1},
      {"five bytes", BuildFrame(0x55, CMD_GET_CLOCK, 0, {1, 2, 3, 4, 5}), 1},
      {"silence", {}, 1},
  };
  for (const Case& c : cases) {
    clock_fields = {};
    fake_link.on_write = [&](const Bytes&) {
      if (!c.answer.empty()) Queue(c.answer);
    };
    EXPECT_EQ(GetInstrumentClock(), c.result) << c.what;
    const ClockFields& f = clock_fields;
    const std::vector<int> fields = {f.year, f.month, f.day, f.hour, f.minute, f.second};
    EXPECT_EQ(fields,
              (c.result == 0 ? std::vector<int>{127, 0, 31, 23, 59, 58} : std::vector<int>(6)))
        << c.what;
  }
  // A lost link (which sends nothing) has no time to give.
  link_state.link_lost = true;
  EXPECT_EQ(GetInstrumentClock(), 1);
}

}  // namespace
