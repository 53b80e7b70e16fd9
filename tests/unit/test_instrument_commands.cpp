#include <gtest/gtest.h>

#include <string>

#include "output/output_types.h"
#include "tests/unit/fake_link.h"

namespace {

InstrumentModel model;           // the instrument, answering at once
std::vector<std::string> shown;  // the live reports: text, type, mode

class InstrumentCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    Start([](SimOptions&) {});
  }
  static void Start(void (*change)(SimOptions&)) {
    InstallFakeLink();
    SimOptions options;
    change(options);
    InitModel(&model, options, 0);
    fake_link.on_write = [](const Bytes& frame) { AnswerFrom(&model, frame); };
  }
};

TEST_F(InstrumentCommands, IdentificationResultsAndTheIdentityTheyLeave) {
  struct Case {
    const char* what;
    void (*change)(SimOptions&);
    int result;
    const char* identity;  // null: not looked at
  } cases[] = {
      {"connect status 5", [](SimOptions& o) { o.status_override[0x10] = 5; }, 0, "2 105 RS620042"},
      {"connect refused", [](SimOptions& o) { o.status_override[0x10] = 1; }, -2, nullptr},
      {"no serial", [](SimOptions& o) { o.silent_after = 2; }, -3, nullptr},
      // Short replies leave the identity as it was (device code 4 on a first connection).
      {"five-byte version", [](SimOptions& o) { o.short_reply[0x42] = true; }, -4, "4 0 00000000"},
      {"seven-byte serial", [](SimOptions& o) { o.short_reply[0x43] = true; }, 0, "2 105 00000000"},
  };
  for (const Case& c : cases) {
    Start(c.change);
    EXPECT_EQ(IdentifyInstrument(), c.result) << c.what;
    const InstrumentIdentity& i = instrument_identity;
    if (c.identity != nullptr) {
      EXPECT_EQ(std::to_string(i.device_code) + " " + std::to_string(i.firmware_version) + " " +
                    i.serial_number,
                c.identity)
          << c.what;
    }
  }
  EXPECT_EQ(FindReplyRecord(CMD_GET_SERIAL)->length, 7);  // a short reply is still recorded
}

TEST_F(InstrumentCommands, ClockReadInInstrumentLayoutCountsOnlyAFreshTime) {
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

TEST_F(InstrumentCommands, LiveValueRepliesShowTheirTextTypeAndMode) {
  show_live_report = [](const char* text, int type, int mode) {
    shown.push_back(std::string(text) + " " + std::to_string(type) + " " + std::to_string(mode));
  };
  for (const Bytes& data : {Bytes{0x00, 0x01, 0x40, 0x00}, Bytes{0x02, 0x00, 0x40, 0x00},
                            Bytes{0x01, 0x02, 0x40, 0x00}, Bytes{0x00, 0x00, 0xC0, 0x00},
                            Bytes{0x00, 0x07, 0x40, 0x00}, Bytes{0x00, 0x01, 0x40, 0x00, 0x00}})
    Queue(BuildFrame(0x55, CMD_GET_OUTPUT, 0, data));                    // the last has five bytes
  Queue(BuildFrame(0x55, CMD_GET_OUTPUT, 1, {0x00, 0x01, 0x40, 0x00}));  // a failing status
  for (int i = 0; i < 7; ++i) ParseReceived();
  EXPECT_EQ(shown, (std::vector<std::string>{"5.000 1 0", "50.00 0 2", "10.000 2 1", "-50.00 0 0",
                                             "- 7 0"}));
  EXPECT_EQ(FindReplyRecord(CMD_GET_OUTPUT)->status, 1);  // still stored

  char text[32];
  EXPECT_DOUBLE_EQ(FormatOutputValue(-32768, 0, text), -100.0 * 32768 / 32767);
  EXPECT_STREQ(text, "-100.00");
  EXPECT_EQ(FormatOutputValue(100, -1, text), 0.0);
  EXPECT_STREQ(text, "-");
}

}  // namespace
