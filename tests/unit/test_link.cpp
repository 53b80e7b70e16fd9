// The link core against the scripted transport and clock of fake_link.h:
// frames in and out, the exchange of a command, the instrument's commands.
#include <gtest/gtest.h>

#include <string>

#include "output/output_types.h"
#include "tests/unit/fake_link.h"

namespace {

InstrumentModel model;           // the instrument, where one answers
std::vector<std::string> shown;  // the live reports: text, type, mode

void ShowLive(void*, int mode, int type, int16_t code) {
  char text[32];
  FormatOutputValue(code, type, text);
  shown.push_back(std::string(text) + " " + std::to_string(type) + " " + std::to_string(mode));
}

class Link : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallFakeLink();
    shown.clear();
    link_session.events.live_report = ShowLive;
  }
  LinkSession* session = &link_session;
  const ReplyRecord* records = link_session.reply_records;
};

const Bytes kLiveReply = {0x55, 0xC2, 0x00, 0x00, 0x04, 0x00, 0x01, 0x40, 0x00, 0x5D};
// A version reply with its checksum one bit off.
const Bytes kDamaged = {0x55, 0x42, 0x00, 0x00, 0x06, 0x02, 0x01, 0x05, 0x00, 0x00, 0x00, 0xA7};

TEST_F(Link, AClosedTransportSendsAndDrainsNothingAndANewOneStartsTheParserAfresh) {
  // A wrong peer leaves the parser deep inside a long frame, still fed...
  Bytes noise = BuildFrame(0x55, CMD_GET_SERIAL, 0, Bytes(3000, 0x00));
  Queue(Bytes(noise.begin(), noise.begin() + 500));
  ParseReceived(session);
  ASSERT_EQ(session->receiver_state.state, ReadData);
  const LinkTransport same = session->transport;
  CloseTransport(session);
  Queue(kLiveReply);
  EXPECT_EQ(SendFrame(session, CMD_CONNECT, 0, nullptr), -1);
  ParseReceived(session);
  EXPECT_TRUE(fake_link.writes.empty());
  EXPECT_EQ(fake_link.chunks.size(), 1u);  // nothing drained
  CloseTransport(session);
  EXPECT_EQ(fake_link.closes, 1);
  // ...and the next link's first answer is read at once.
  InstallTransport(session, same);
  EXPECT_EQ(session->receiver_state.state, WaitStart);
  ParseReceived(session);
  EXPECT_EQ(shown.size(), 1u);
}

TEST_F(Link, PayloadBeyondTheSendBufferIsNotSent) {
  static uint8_t payload[kMaxPayload + 1];
  EXPECT_EQ(SendFrame(session, CMD_SET_OUTPUT, kMaxPayload + 1, payload), -1);
  EXPECT_EQ(SendFrame(session, CMD_SET_OUTPUT, 3, nullptr), -1);
  EXPECT_TRUE(fake_link.writes.empty());
  EXPECT_EQ(SendFrame(session, CMD_SET_OUTPUT, kMaxPayload, payload), 0);
  ASSERT_EQ(fake_link.writes.size(), 1u);
  EXPECT_EQ(fake_link.writes[0].size(), static_cast<size_t>(kFrameBufferSize));
}

TEST_F(Link, LiveRepliesShowTextTypeAndModeHoweverCutAndADamagedFrameLeavesNoTrace) {
  // Garbage and a damaged frame before the replies.
  Bytes stream = {0x00, 0x13, 0xFE};
  stream.insert(stream.end(), kDamaged.begin(), kDamaged.end());
  session->link_state.pending[CMD_GET_VERSION] = 1;
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
    while (!fake_link.chunks.empty()) ParseReceived(session);
    EXPECT_EQ(shown, (std::vector<std::string>{"5.000 1 0", "50.00 0 2", "10.000 2 1", "-50.00 0 0",
                                               "-100.00 0 0", "- 7 0"}))
        << chunk;
  }
  EXPECT_EQ(records[CMD_GET_OUTPUT].status, 1);  // still stored
  EXPECT_EQ(session->link_state.pending[CMD_GET_VERSION], 1);
  EXPECT_EQ(records[CMD_GET_VERSION].start_byte, 0);
}

TEST_F(Link, HalfFrameIsAbandonedAfterASecondWithoutBytesWhetherPolledOrNot) {
  // After 1000 ms of silence the tail still completes it; after 1001 ms the
  // tail is read as garbage, also when no empty poll saw the silence. A later
  // frame is fine either way.
  for (uint32_t silence : {1000u, 1001u}) {
    for (bool polled : {true, false}) {
      shown.clear();
      Queue(Bytes(kLiveReply.begin(), kLiveReply.begin() + 4));
      ParseReceived(session);
      fake_link.now_ms += silence;
      if (polled) ParseReceived(session);
      Queue(Bytes(kLiveReply.begin() + 4, kLiveReply.end()));
      Queue(kLiveReply);
      ParseReceived(session);
      ParseReceived(session);
      EXPECT_EQ(shown.size(), silence == 1000 ? 2u : 1u) << silence << polled;
    }
  }
}

TEST_F(Link, OversizedDeclarationNeverCompletesNorOverflows) {
  // 1024 data bytes is the largest frame that can complete.
  QueueChunked(BuildFrame(0x55, CMD_CONNECT, 3, Bytes(1024, 0x55)), kMaxDrain);
  while (!fake_link.chunks.empty()) ParseReceived(session);
  EXPECT_EQ(records[CMD_CONNECT].length, 1024);
  EXPECT_EQ(records[CMD_CONNECT].status, 3);

  Bytes big = BuildFrame(0x55, CMD_GET_SERIAL, 0, Bytes(4000, 0xAA));
  big[3] = 0x04;  // declare 1025 bytes, then send far more
  big[4] = 0x01;
  QueueChunked(big, kMaxDrain);
  while (!fake_link.chunks.empty()) ParseReceived(session);
  const ReceiverState& rx = session->receiver_state;
  EXPECT_EQ(rx.state, ReadData);
  EXPECT_EQ(rx.data_index, kFrameBufferSize);
  EXPECT_EQ(rx.last_byte_ms, fake_link.now_ms);  // the field behind the store is intact
  EXPECT_EQ(records[CMD_GET_SERIAL].start_byte, 0);

  fake_link.now_ms += 2000;
  Queue(kLiveReply);
  ParseReceived(session);
  EXPECT_EQ(records[CMD_GET_SERIAL].start_byte, 0);
  EXPECT_EQ(shown.size(), 1u);
}

TEST_F(Link, AckOrReplyEndsTheWaitOtherAnswersDoNot) {
  // An acknowledgement may carry data; its status is recorded, its data fills nothing.
  fake_link.on_write = [](const Bytes& f) { Queue(BuildFrame(0xAA, f[1], 4, {1, 2, 3, 4, 5, 6})); };
  EXPECT_EQ(SendCommandAndWait(session, CMD_GET_CLOCK, 0, nullptr), 0);
  EXPECT_EQ(fake_link.sleeps, 1u);  // found by the first parse
  EXPECT_EQ(records[CMD_GET_CLOCK].start_byte, 0xAA);
  EXPECT_EQ(records[CMD_GET_CLOCK].status, 4);
  EXPECT_EQ(session->clock_readings, 0u);

  // Every command's answer is recorded, not only those that fill something.
  fake_link.on_write = [](const Bytes& f) { Queue(BuildFrame(0x55, f[1], 2, {0, 0, 0, 0})); };
  EXPECT_EQ(SendCommandAndWait(session, CMD_START_SWEEP, 0, nullptr), 0);
  EXPECT_EQ(records[CMD_START_SWEEP].status, 2);

  fake_link.on_write = [](const Bytes&) { Queue(BuildFrame(0xAA, CMD_STOP_REPLAY, 0, {})); };
  EXPECT_EQ(SendCommandAndWait(session, CMD_START_REPLAY, 0, nullptr), 1);
  EXPECT_EQ(records[CMD_START_REPLAY].start_byte, 0);
}

TEST_F(Link, TimeOutIsStrictlyAfter2000MsEvenAcrossAClockWrapAndLeavesThePendingFlag) {
  for (uint32_t start : {5000u, 0xFFFFFF00u}) {
    fake_link.now_ms = start;
    fake_link.sleeps = 0;
    EXPECT_EQ(SendCommandAndWait(session, CMD_GET_VERSION, 0, nullptr), 1);
    // At exactly 2000 ms the wait goes on for one more step.
    EXPECT_EQ(fake_link.now_ms - start, 2010u) << start;
    EXPECT_EQ(fake_link.sleeps, 201u) << start;
  }
  EXPECT_EQ(session->link_state.pending[CMD_GET_VERSION], 1);

  // A late answer still clears the flag and fills the record.
  Queue(BuildFrame(0x55, CMD_GET_VERSION, 0, {2, 1, 5, 0, 0, 0}));
  PollLink(session);
  EXPECT_EQ(session->link_state.pending[CMD_GET_VERSION], 0);
  EXPECT_EQ(session->instrument_identity.firmware_version, 105);
}

TEST_F(Link, LinkIsLostOnThePollAfterTenSilentSecondsReportedOnceAndThenSendsNothing) {
  StartLinkWatch(session);
  fake_link.now_ms += 9000;
  Queue(BuildFrame(0xAA, CMD_GET_OUTPUT, 0, {}));  // a good frame restarts the count
  EXPECT_EQ(PollLink(session), 0);
  fake_link.now_ms += kLinkLostMs;  // exactly 10 s is not yet more than 10 s
  Queue(kDamaged);                  // and a damaged frame does not restart it
  EXPECT_EQ(PollLink(session), 0);
  fake_link.now_ms += 1;
  EXPECT_EQ(PollLink(session), -1);
  EXPECT_TRUE(session->link_state.link_lost);
  fake_link.now_ms += kLinkLostMs + 1;
  EXPECT_EQ(PollLink(session), 0);
  // A lost link sends nothing, no command waits for it, and none passes for answered.
  EXPECT_EQ(SendCommandAndWait(session, CMD_SET_OUTPUT, 0, nullptr), 2);
  EXPECT_EQ(GetInstrumentClock(session), 2);
  EXPECT_TRUE(fake_link.writes.empty());
  EXPECT_EQ(session->link_state.pending[CMD_SET_OUTPUT], 0);
}

TEST_F(Link, PollsHeldUpByStalledWritesStillLoseTheLinkAfterAboutTenSeconds) {
  // A second a write, as a port whose output stalls would cost a caller that waited on it.
  fake_link.on_write = [](const Bytes&) { fake_link.now_ms += 1000; };
  StartLinkWatch(session);
  const uint32_t start = fake_link.now_ms;
  int polls = 0;
  while (PollLink(session) == 0) {
    SendFrame(session, CMD_GET_OUTPUT, 0, nullptr);
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
  Disconnect(session);
  EXPECT_EQ(fake_link.timer_stops, 1);
  ASSERT_EQ(fake_link.writes.size(), 1u);
  EXPECT_EQ(fake_link.writes[0][1], CMD_DISCONNECT);
  EXPECT_EQ(fake_link.closes, 1);
}

TEST_F(Link, IdentificationResultsAndTheIdentityTheyLeaveEachOnANewConnection) {
  struct Case {
    const char* what;
    void (*change)(SimOptions&);
    int result;
    const char* identity;
  } cases[] = {
      {"connect status 5", [](SimOptions& o) { o.status_override[0x10] = 5; }, 0, "2 105 RS620042"},
      // What is not read, or read short, is left at its start value, whatever
      // the instrument before said.
      {"seven-byte serial", [](SimOptions& o) { o.short_reply[0x43] = true; }, 0, "2 105 00000000"},
      {"connect refused", [](SimOptions& o) { o.status_override[0x10] = 1; }, -2, "4 0 00000000"},
      {"no serial", [](SimOptions& o) { o.silent_after = 2; }, -3, "2 105 00000000"},
      {"five-byte version", [](SimOptions& o) { o.short_reply[0x42] = true; }, -4, "4 0 00000000"},
  };
  for (const Case& c : cases) {
    // One session throughout, as the window keeps: each case is a new connection.
    InstallTransport(session, session->transport);
    SimOptions options;
    c.change(options);
    InitModel(&model, options, 0);
    fake_link.on_write = [](const Bytes& frame) { AnswerFrom(&model, frame); };
    EXPECT_EQ(IdentifyInstrument(session), c.result) << c.what;
    const InstrumentIdentity& i = session->instrument_identity;
    EXPECT_EQ(std::to_string(i.device_code) + " " + std::to_string(i.firmware_version) + " " +
                  i.serial_number,
              c.identity)
        << c.what;
  }
  EXPECT_FALSE(IdentifyCallsForDisconnect(-2));
  EXPECT_TRUE(IdentifyCallsForDisconnect(-3) && IdentifyCallsForDisconnect(-4));
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
    session->clock_fields = {};
    fake_link.on_write = [&](const Bytes&) {
      if (!c.answer.empty()) Queue(c.answer);
    };
    EXPECT_EQ(GetInstrumentClock(session), c.result) << c.what;
    const ClockFields& f = session->clock_fields;
    const std::vector<int> fields = {f.year, f.month, f.day, f.hour, f.minute, f.second};
    EXPECT_EQ(fields,
              (c.result == 0 ? std::vector<int>{127, 0, 31, 23, 59, 58} : std::vector<int>(6)))
        << c.what;
  }
}

}  // namespace
