// SCPI messages without an instrument: the parser, the path rule, the
// parameters and their checks, the error queue. What reaches the instrument
// is shown against the simulator (test_server.py).
#include <gtest/gtest.h>

#include "server/scpi_lines.h"
#include "server/scpi_message.h"

namespace {

struct MessageCase {
  const char* message;
  const char* reply;
  const char* errors;  // the queue's entries, joined by '|'
};

std::string RunWithoutLink(const char* message, std::string* errors) {
  ScpiErrorQueue queue;
  ScpiSettings settings;
  SoftLimits limits{};
  std::string error;
  EXPECT_TRUE(ParseSoftLimit("v=-5:5", &limits, &error));
  ScpiContext context{&queue, &settings, &limits, nullptr, false, {}};
  const std::string reply = RunScpiMessage(&context, message);
  errors->clear();
  while (!queue.entries.empty()) {
    if (!errors->empty()) *errors += "|";
    *errors += PopScpiError(&queue);
  }
  return reply;
}

TEST(Scpi, Messages) {
  const MessageCase cases[] = {
      {"*IDN?", "RV-SOLA62,0,00000000,0.00", ""},
      {"*idn?;*OPC?;SYST:VERS?;*TST?", "RV-SOLA62,0,00000000,0.00;1;1999.0;0", ""},
      {"SYSTEM:ERROR:NEXT?;:SYST:ERR:COUN?", "0,\"No error\";0", ""},
      // Path rule: the next command continues at the level of the previous one.
      {"sour:type maext;type?", "MAEXT", ""},
      {"SWE:STAR 1;STOP 20MA;TIME:RISE 50MS;FALL 2;*CLS;:SWE:STAR?;STOP?;TIME:RISE?;FALL?",
       "+1.000000E+00;+2.000000E-02;+5.000000E-02;+2.000000E+00", ""},
      {"SWE:STAR 1;VOLT 2", "", "-113,\"Undefined header\""},
      {"TYPE 1;:TYPE?", "V", ""},
      {"VOLTA 1", "", "-113,\"Undefined header\""},
      {"VOLT2 1", "", "-113,\"Undefined header\""},
      {"*IDN", "", "-113,\"Undefined header\""},
      {"TYPE V,MV", "", "-108,\"Parameter not allowed\""},
      {"TYPE?;VOLT", "", "-109,\"Missing parameter\""},
      {"TYPE V;VOLT abc", "", "-104,\"Data type error\""},
      {"TYPE V;VOLT 1 MA", "", "-131,\"Invalid suffix\""},
      {"TYPE V;;TYPE?", "", "-102,\"Syntax error\""},
      {"TYPE? V", "", "-108,\"Parameter not allowed\""},
      {"VOLT:LEV?junk", "", "-102,\"Syntax error\""},
      {"OUTP MAYBE", "", "-224,\"Illegal parameter value\""},
      {"TYPE VV", "",
       "-224,\"Illegal parameter value;VV is not an output type (MV, V, MA, MAEXT or 0-3)\""},
      // The page's range check with the client's words; the server's limit.
      {"TYPE MA;CURR 20.5MA", "", "-222,\"Data out of range;20.5 is outside 0 to 20 mA (type 2)\""},
      {"TYPE MA;CURR 0.0205", "", "-222,\"Data out of range;20.5 is outside 0 to 20 mA (type 2)\""},
      {"TYPE V;VOLT 6", "",
       "-222,\"Data out of range;6 is outside the server's limit -5 to 5 V (type 1)\""},
      {"TYPE MV;CURR 1MA", "",
       "-221,\"Settings conflict;CURRent needs type MA or MAEXT, the type is MV\""},
      {"TYPE V;OUTP ON", "", "-221,\"Settings conflict;no level was set for type V\""},
      {"TYPE V;SWE:STAR 20;:INIT", "",
       "-222,\"Data out of range;STARt 20 is outside -10 to 10 V (type 1)\""},
      {"TYPE V;SWE:STAR -6;STOP 1;:INIT", "",
       "-222,\"Data out of range;-6 is outside the server's limit -5 to 5 V (type 1)\""},
      {"TYPE V;SWE:TIME:RISE 0;FALL 0;:INIT", "",
       "-221,\"Settings conflict;RISE and FALL are both 0: at least one must be longer\""},
      {"SWE:TIME:RISE 601", "", "-222,\"Data out of range;601 s is outside 0 to 600 s\""},
      {"SWE:TIME:RISE 15MS", "",
       "-222,\"Data out of range;0.015 s is not a whole number of 10 ms\""},
      {"REPL:COUN 0;STAT ON", "", "-222,\"Data out of range;COUNt 0 is outside 1 to 65535\""},
      {"REPL:CHAN AI6", "", "-224,\"Illegal parameter value;AI6 is not a channel (AI1 to AI5)\""},
      {"REPL:CHAN ai3;COUN INF;CHAN?;COUN?", "AI3;INF", ""},
      // Without the link: -241, and numeric queries keep the replies in step.
      {"TYPE MV;VOLT MAX", "", "-241,\"Hardware missing;the instrument link is down\""},
      {"VOLT?;*OPC?", "+9.910000E+37;1", "-241,\"Hardware missing;the instrument link is down\""},
      {"SYST:DATE 2026,12,6", "", "-241,\"Hardware missing;the instrument link is down\""},
  };
  for (const MessageCase& c : cases) {
    std::string errors;
    EXPECT_EQ(RunWithoutLink(c.message, &errors), c.reply) << c.message;
    EXPECT_EQ(errors, c.errors) << c.message;
  }
}

TEST(Scpi, ErrorQueueKeepsSixteenAndMarksOverflow) {
  ScpiErrorQueue queue;
  for (int i = 0; i < 20; ++i) PushScpiError(&queue, -113);
  ASSERT_EQ(queue.entries.size(), kErrorQueueSize);
  EXPECT_EQ(queue.entries[14].text, "-113,\"Undefined header\"");
  EXPECT_EQ(queue.entries[15].text, "-350,\"Queue overflow\"");
  EXPECT_EQ(queue.event_status, 32);  // a command error
}

TEST(Scpi, LinesEndWithLfAndAnOverlongOneIsDroppedWhole) {
  ScpiLineReader reader;
  std::deque<ScpiLine> lines;
  const std::string input = "*IDN?\r\n" + std::string(100000, 'A') + ";*RST\nVOLT 1\n";
  // In pieces, as a socket delivers them.
  for (size_t at = 0; at < input.size(); at += 1000) {
    TakeScpiBytes(&reader, input.data() + at, std::min<size_t>(1000, input.size() - at), &lines);
  }
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, "*IDN?");
  EXPECT_TRUE(lines[1].too_long);
  EXPECT_EQ(lines[2].text, "VOLT 1");
  EXPECT_LE(reader.partial.capacity(), 2 * kMaxScpiMessage);
}

}  // namespace
