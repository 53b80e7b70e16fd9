// The command-line client's portable parts: what it accepts, what it
// refuses with which message, and how it prints.
#include <gtest/gtest.h>

#include "cli/command_checks.h"
#include "cli/command_line.h"
#include "cli/records.h"
#include "cli/script.h"
#include "cli/time_texts.h"
#include "link/link_address.h"

TEST(CliLink, Forms) {
  struct Case {
    const char* text;
    bool com_ports;
    const char* shown;  // "": refused, with a message
  } cases[] = {{"tcp://localhost:2000", true, "tcp://localhost:2000"},
               {"/dev/serial/by-id/usb-x", false, "/dev/serial/by-id/usb-x"},
               {"com7", true, "COM7"},
               {"/dev/ttyUSB0", true, ""},
               {"tcp://host:0", false, ""},
               {"tcp://host:65536", false, ""},
               {"tcp://:2000", false, ""},
               {"TCP://[::1]:2000", false, "tcp://[::1]:2000"},
               {"tcp://::1", false, ""},
               {"COM256", true, ""},
               {"", false, ""}};
  for (const Case& c : cases) {
    LinkAddress address;
    std::string error;
    const bool ok = ParseLinkAddress(c.text, c.com_ports, &address, &error);
    EXPECT_EQ(ok              ? LinkAddressText(address)
              : error.empty() ? "(no message)"
                              : "",
              c.shown)
        << c.text;
  }
}

TEST(CliInput, RefusedWithTheirMessages) {
  struct Case {
    std::vector<std::string> words;
    const char* message;
  } cases[] = {
      {{"set", "x", "--type", "2"}, "x is not a number"},
      {{"set", "1e3", "--type", "v"}, "1e3 is outside -10 to 10 V (type 1)"},
      {{"set", "5mA", "--type", "v"}, "5mA is not in V, the unit of type 1"},
      {{"set", "25 mA", "--type", "ma"}, "25 mA is outside 0 to 20 mA (type 2)"},
      {{"set", "0x1", "--type", "v"}, "0x1 is not a number"},
      {{"set", "mV", "--type", "mv"}, "'mV' is not a number"},
      {{"set", "", "--type", "v"}, "'' is not a number"},
      {{"set", "-", "--type", "v"}, "'-' is not a number"},
      {{"set", "1", "--type", "4"}, "--type 4 is not an output type (0-3, mv, v, ma or ma-ext)"},
      {{"sweep", "--type", "v", "--from", "x", "--to", "11", "--t1", "1s", "--t2", "1s"},
       "--to 11 is outside -10 to 10 V (type 1)"},
      {{"sweep", "--type", "v", "--from", "0", "--to", "1", "--t1", "601s", "--t2", "1s"},
       "--t1 601s is outside 0 to 600 s"},
      {{"sweep", "--type", "v", "--from", "0", "--to", "1", "--t1", "15ms", "--t2", "1s"},
       "--t1 15ms is not a duration: a whole number of 10 ms with its unit, such as 250ms or 5s"},
      {{"replay", "--channel", "AI6", "--count", "1"},
       "--channel AI6 is not a channel (AI1 to AI5)"},
      {{"replay", "--channel", "AI1", "--count", "0"}, "--count 0 is outside 1 to 65535"},
      {{"replay", "--channel", "AI1", "--count", "65536"}, "--count 65536 is outside 1 to 65535"},
      {{"replay", "--channel", "AI1", "--count", "2.5"}, "--count 2.5 is not a whole number"},
      {{"replay", "--channel", "AI1"}, "replay needs exactly one of --count N and --endless"},
      {{"replay", "--stop", "--endless"}, "replay --stop takes no --channel, --count or --endless"},
      {{"clock", "--set", "2024-02-30T00:00:00"},
       "2024-02-30T00:00:00 is not a time of the instrument's clock: YYYY-MM-DDTHH:MM:SS, a real "
       "date from 2000 to 2255"},
      {{"clock", "2024-01-01T00:00:00"}, "clock TIME needs --set"},
      {{"monitor", "--interval", "5"}, "--interval 5 is not a duration from 10ms to 3600s"},
      {{"monitor", "--count", "0"}, "--count 0 is not a number of records (1 or more)"},
      {{"monitor", "--duration", "-1"}, "--duration -1 is not a duration above 0"},
      {{"sleep", "1.5"}, "sleep 1.5 is not a duration from 0ms to 86400s"},
      {{"run", "x"},
       "'run' is not a command of a script (identify, get, set, off, sweep, replay, clock, "
       "monitor, sleep)"}};
  for (const Case& c : cases) {
    Command command;
    Outcome o = ParseScriptWords(c.words, &command);
    if (o.ok()) o = PrepareCommand(&command, false);
    EXPECT_EQ(o.code, kExitUsage) << c.message;
    EXPECT_EQ(o.message, c.message);
  }
}

TEST(CliTexts, Durations) {
  struct Case {
    const char* text;
    const char* bare_unit;
    long ms;  // -1: refused
  } cases[] = {{"250ms", "", 250}, {"5s", "", 5000},   {"1.5s", "", 1500}, {".5s", "", 500},
               {"0.001s", "", 1},  {"0ms", "", 0},     {"5", "", -1},      {"5", "ms", 5},
               {"5", "s", 5000},   {"1.5", "s", 1500}, {"1.5ms", "", -1},  {"0.0015s", "", -1},
               {"-5s", "", -1},    {"s", "", -1},      {"1.s", "", -1},    {"5 s", "", -1},
               {"+5", "ms", -1},   {"2min", "s", -1}};
  for (const Case& c : cases) {
    long ms = -1;
    const bool ok = ParseDuration(c.text, c.bare_unit, &ms);
    EXPECT_EQ(ok ? ms : -1, c.ms) << c.text;
  }
}

TEST(CliTexts, ScriptLines) {
  using namespace std::string_literals;
  const std::vector<ScriptLine> lines = SplitScript(
      "\xEF\xBB\xBFset \"1\" --type 'v' # a comment \xFF\r\n"
      "\n  set \"a b\"\\ c \"\\\"\"#x\nset 1\x00\nset \xC3\nset \"1\n"s);
  std::vector<std::string> read;
  for (const ScriptLine& line : lines) {
    std::string text = std::to_string(line.number) + ":";
    for (const std::string& word : line.words) text += "[" + word + "]";
    read.push_back(text + line.problem);
  }
  EXPECT_EQ(read, (std::vector<std::string>{"1:[set][1][--type][v]", "3:[set][a b c][\"#x]",
                                            "4:the byte \\x00 in column 6 is not text",
                                            "5:the byte \\xC3 in column 5 is not text",
                                            "6:the quote \" is not closed"}));
}

TEST(CliTexts, ClockAndTimestamps) {
  ClockFields clock{};
  EXPECT_TRUE(ParseClockText("2024-02-29T23:59:59", &clock));
  EXPECT_EQ(ClockText(clock), "2024-02-29T23:59:59");
  EXPECT_TRUE(ClockFieldsValid(clock));
  for (const ClockFields& bad :
       {ClockFields{0, 0, 0, 1, 12, 126}, ClockFields{60, 60, 24, 1, 0, 126},
        ClockFields{0, 0, 0, 29, 1, 125}, ClockFields{0, 0, 0, 0, 0, 126}})
    EXPECT_FALSE(ClockFieldsValid(bad)) << ClockText(bad);
  for (const char* bad : {"2023-02-29T00:00:00", "1999-12-31T23:59:59", "2256-01-01T00:00:00",
                          "2024-01-01 00:00:00", "2024-1-01T00:00:00", "2024-01-01T24:00:00"}) {
    EXPECT_FALSE(ParseClockText(bad, &clock)) << bad;
  }
  std::tm local{};
  local.tm_sec = 9, local.tm_min = 7, local.tm_hour = 14, local.tm_mday = 5, local.tm_mon = 2;
  local.tm_year = 124;
  EXPECT_EQ(TimestampText(local, 42, 9 * 3600), "2024-03-05T14:07:09.042+09:00");
  EXPECT_EQ(TimestampText(local, 999, -(3 * 3600 + 30 * 60)), "2024-03-05T14:07:09.999-03:30");
  EXPECT_EQ(TimestampText(local, 0, 0), "2024-03-05T14:07:09.000+00:00");
}

TEST(CliRecords, UnknownTypeAndModeAndTheInstrumentsBytes) {
  // A type the table does not know has no value, rather than a made-up 0.
  const LiveRecord r = MakeLiveRecord("t", 5, 7, 9);
  EXPECT_EQ(RecordLine(r, OutputFormat::Text, "get"), "t  -  type 7  unknown");
  EXPECT_EQ(
      RecordLine(r, OutputFormat::Json, "get"),
      R"({"command":"get","time":"t","value":null,"code":5,"text":"-","unit":"","type":7,"mode":"unknown"})");
  EXPECT_EQ(RecordLine(MakeLiveRecord("t", 16384, 1, 2), OutputFormat::Csv, "get"),
            "t,5.000,V,1,sweep");
  // The smallest negative code is no negative zero.
  EXPECT_EQ(RecordLine(MakeLiveRecord("t", -1, 1, 0), OutputFormat::Csv, "get"),
            "t,0.000,V,1,normal");
  EXPECT_EQ(PrintableText("RS62\x01\"\\x", 8), "RS62\\x01\"\\x5Cx");
}
