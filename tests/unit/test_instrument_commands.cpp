#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "output/output_types.h"
#include "tests/unit/fake_link.h"

namespace {

struct Live {
  std::string text;
  int type;
  int mode;
};
std::vector<Live> live;

// How the scripted instrument answers the identification.
struct Script {
  uint8_t connect_status = 0;
  Bytes version = {2, 1, 5, 0, 0, 0};
  uint8_t version_status = 0;
  Bytes serial = {'A', 'B', '1', '2', '3', '4', '5', '6'};
  bool answer_serial = true;
} script;

void Answer(const Bytes& frame) {
  switch (frame[1]) {
    case CMD_CONNECT:
      Queue(BuildFrame(0x55, CMD_CONNECT, script.connect_status, {}));
      break;
    case CMD_GET_VERSION:
      Queue(BuildFrame(0x55, CMD_GET_VERSION, script.version_status, script.version));
      break;
    case CMD_GET_SERIAL:
      if (script.answer_serial) Queue(BuildFrame(0x55, CMD_GET_SERIAL, 0, script.serial));
      break;
    default:
      Queue(BuildFrame(0xAA, frame[1], 0, {}));
  }
}

class InstrumentCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallFakeLink();
    script = Script{};
    live.clear();
    show_live_report = [](const char* text, int type, int mode) {
      live.push_back({text, type, mode});
    };
    fake_link.on_write = Answer;
  }
};

TEST_F(InstrumentCommands, IdentificationSucceedsAndFillsTheIdentity) {
  script.connect_status = 5;
  EXPECT_EQ(IdentifyInstrument(), 0);
  EXPECT_EQ(instrument_identity.device_code, 2);
  EXPECT_EQ(instrument_identity.firmware_version, 105);
  EXPECT_STREQ(instrument_identity.serial_number, "AB123456");
}

TEST_F(InstrumentCommands, IdentificationFailures) {
  script.connect_status = 1;
  EXPECT_EQ(IdentifyInstrument(), -2);
  fake_link.on_write = nullptr;
  EXPECT_EQ(IdentifyInstrument(), -2);  // no answer at all

  fake_link.on_write = Answer;
  script = Script{};
  script.version_status = 3;
  EXPECT_EQ(IdentifyInstrument(), -3);
  script.version_status = 0;
  script.answer_serial = false;
  EXPECT_EQ(IdentifyInstrument(), -3);

  script = Script{};
  script.version = {1, 1, 0, 0, 0, 0};
  EXPECT_EQ(IdentifyInstrument(), -4);
}

TEST_F(InstrumentCommands, ShortRepliesLeaveTheIdentityAsItWas) {
  // A five-byte version reply on a first connection keeps device code 4.
  script.version = {2, 1, 5, 0, 0};
  EXPECT_EQ(IdentifyInstrument(), -4);
  EXPECT_EQ(instrument_identity.firmware_version, 0);

  script = Script{};
  script.serial = {'1', '2', '3', '4', '5', '6', '7'};
  EXPECT_EQ(IdentifyInstrument(), 0);
  EXPECT_STREQ(instrument_identity.serial_number, "00000000");
  EXPECT_EQ(FindReplyRecord(CMD_GET_SERIAL)->length, 7);
}

TEST_F(InstrumentCommands, ClockIsSentAndReadInInstrumentLayout) {
  link_platform.local_time = [](ClockFields* out) { *out = {5, 4, 3, 6, 11, 126}; };
  EXPECT_EQ(SetInstrumentClock(), 0);
  EXPECT_EQ(fake_link.writes.back(),
            (Bytes{0xAA, 0x40, 0x00, 0x00, 0x06, 0x1A, 0x0C, 0x06, 0x03, 0x04, 0x05, 0x29}));

  clock_fields = {};
  Queue(BuildFrame(0x55, CMD_GET_CLOCK, 0, {0x1B, 0x01, 0x1F, 0x17, 0x3B, 0x3A}));
  ParseReceived();
  EXPECT_EQ(clock_fields.year, 127);
  EXPECT_EQ(clock_fields.month, 0);
  EXPECT_EQ(clock_fields.day, 31);
  EXPECT_EQ(clock_fields.hour, 23);
  EXPECT_EQ(clock_fields.minute, 59);
  EXPECT_EQ(clock_fields.second, 58);
}

TEST_F(InstrumentCommands, ClockReadCountsOnlyAFreshTime) {
  const Bytes time = {0x1B, 0x01, 0x1F, 0x17, 0x3B, 0x3A};
  struct Case {
    const char* what;
    std::function<void()> answer;  // queues what the instrument says, if anything
    int result;
  };
  const Case cases[] = {
      {"a clock reply", [&] { Queue(BuildFrame(0x55, CMD_GET_CLOCK, 0, time)); }, 0},
      {"an acknowledgement", [] { Queue(BuildFrame(0xAA, CMD_GET_CLOCK, 0, {})); }, 1},
      {"a failing status", [&] { Queue(BuildFrame(0x55, CMD_GET_CLOCK, 1, time)); }, 1},
      {"five bytes",
       [] {
         Queue(BuildFrame(0x55, CMD_GET_CLOCK, 0, {1, 2, 3, 4, 5}));
       },
       1},
      {"silence", [] {}, 1},
  };
  for (const Case& c : cases) {
    clock_fields = {};
    fake_link.on_write = [&](const Bytes&) { c.answer(); };
    EXPECT_EQ(GetInstrumentClock(), c.result) << c.what;
    EXPECT_EQ(clock_fields.year, c.result == 0 ? 127 : 0) << c.what;
  }
  // A lost link sends nothing and has no time to give.
  fake_link.writes.clear();
  link_state.link_lost = true;
  EXPECT_EQ(GetInstrumentClock(), 1);
  EXPECT_TRUE(fake_link.writes.empty());
}

TEST_F(InstrumentCommands, LiveValueReplies) {
  Queue(BuildFrame(0x55, CMD_GET_OUTPUT, 0, {0x00, 0x01, 0x40, 0x00}));
  Queue(BuildFrame(0x55, CMD_GET_OUTPUT, 0, {0x02, 0x00, 0x40, 0x00}));
  Queue(BuildFrame(0x55, CMD_GET_OUTPUT, 0, {0x01, 0x02, 0x40, 0x00}));
  Queue(BuildFrame(0x55, CMD_GET_OUTPUT, 0, {0x00, 0x00, 0xC0, 0x00}));
  Queue(BuildFrame(0x55, CMD_GET_OUTPUT, 0, {0x00, 0x07, 0x40, 0x00}));
  Queue(BuildFrame(0x55, CMD_GET_OUTPUT, 0, {0x00, 0x01, 0x40, 0x00, 0x00}));  // 5 bytes
  Queue(BuildFrame(0x55, CMD_GET_OUTPUT, 1, {0x00, 0x01, 0x40, 0x00}));        // bad status
  for (int i = 0; i < 7; ++i) ParseReceived();
  ASSERT_EQ(live.size(), 5u);
  EXPECT_EQ(live[0].text, "5.000");
  EXPECT_EQ(live[0].type, 1);
  EXPECT_EQ(live[1].text, "50.00");
  EXPECT_EQ(live[1].mode, 2);
  EXPECT_EQ(live[2].text, "10.000");
  EXPECT_EQ(live[3].text, "-50.00");
  EXPECT_EQ(live[4].text, "-");
  EXPECT_EQ(FindReplyRecord(CMD_GET_OUTPUT)->status, 1);  // still stored

  char text[32];
  EXPECT_DOUBLE_EQ(FormatOutputValue(-32768, 0, text), -100.0 * 32768 / 32767);
  EXPECT_STREQ(text, "-100.00");
  EXPECT_EQ(FormatOutputValue(100, -1, text), 0.0);
  EXPECT_STREQ(text, "-");
}

}  // namespace
