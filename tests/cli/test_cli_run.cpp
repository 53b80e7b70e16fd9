// The client in this process, from its arguments to its exit code, with the
// test as its system: every link is the simulator's model behind an in-memory
// transport, and the link's clock moves only while it waits.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>

#include "cli/cli_platform.h"
#include "cli/cli_run.h"
#include "link/transports.h"
#include "sim/sim_command_line.h"
#include "tests/unit/fake_link.h"

namespace {

InstrumentModel model;
int opens = 0;

}  // namespace

void PrepareProcess() {}
void WatchForInterrupts(int) {}
bool Interrupted() {
  return false;
}
int InterruptingSignal() {
  return 0;
}
void SetLinkOpen(bool) {}
bool LinksAreComPorts() {
  return false;
}
std::vector<SerialPortInfo> ListSerialPorts() {
  return {};
}
// Stands in for the link's own open: every link is the model.
int OpenLink(LinkSession* session, const LinkAddress& address, std::string* reason) {
  ++opens;
  if (address.host == "gone" || address.device == "/gone") {
    *reason = "it is not there";
    return -1;
  }
  ForgetLink(&model, 0);
  InstallFakeTransport(session);
  session->platform.local_time = [](ClockFields* pc) { *pc = {9, 8, 7, 1, 0, 124}; };
  return 0;
}

namespace {

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), {}};
}

// A new instrument, with the simulator's options.
void Start(const std::string& options) {
  std::vector<std::string> words = Words("sim --tcp-port 0 " + options);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  SimCommandLine line;
  std::string error;
  ASSERT_TRUE(ParseSimCommandLine(static_cast<int>(argv.size()), argv.data(), &line, &error));
  InitModel(&model, line.options, SecondsSince2000(2024, 3, 5, 14, 7, 9));
}

struct Result {
  int code;
  std::string out, err;
  std::vector<Bytes> sent;
};

// Times read TIME, and those of the frame log T.
std::string Timeless(const std::string& text) {
  const std::regex time(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)");
  return std::regex_replace(std::regex_replace(text, time, "TIME"),
                            std::regex(R"((^|\n)\d+\.\d{6} )"), "$1T ");
}

Bytes HexBytes(const std::string& text) {
  Bytes bytes;
  std::istringstream hex(text);
  for (unsigned byte; hex >> std::hex >> byte;) bytes.push_back(static_cast<uint8_t>(byte));
  return bytes;
}

// A leading ! leaves out the test's link. reply, "41 1A 0D 01 00 00 00": the
// instrument answers that command with that data instead.
Result Cli(const std::string& args, const std::string& input = "", const std::string& reply = "") {
  std::vector<std::string> words = Words(args[0] == '!' ? args.substr(1) : "-c tcp://h " + args);
  words.insert(words.begin(), "rv-sola62-cli");
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  fake_link = FakeLink{};
  static Bytes forced;
  forced = HexBytes(reply);
  fake_link.on_write = [](const Bytes& frame) {
    if (forced.empty() || frame[1] != forced[0]) return AnswerFrom(&model, frame);
    Queue(BuildFrame(0x55, forced[0], 0, {forced.begin() + 1, forced.end()}));
  };
  opens = 0;
  std::istringstream in(input);
  std::streambuf* saved = std::cin.rdbuf(in.rdbuf());
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int code = RunCli(static_cast<int>(argv.size()), argv.data());
  std::cin.rdbuf(saved);
  const std::string out = Timeless(testing::internal::GetCapturedStdout());
  return {code, out, Timeless(testing::internal::GetCapturedStderr()), fake_link.writes};
}

// Frames from the PC, "ID,C1 00 F9 9A,BYE": each its command and data; ID
// stands for the identification, BYE for the disconnect.
std::vector<Bytes> Frames(const std::string& list) {
  std::istringstream frames(std::regex_replace(
      std::regex_replace(list, std::regex("ID"), "10,42,43"), std::regex("BYE"), "11"));
  std::vector<Bytes> all;
  for (std::string frame; std::getline(frames, frame, ',');) {
    const Bytes bytes = HexBytes(frame);
    all.push_back(BuildFrame(0xAA, bytes[0], 0, {bytes.begin() + 1, bytes.end()}));
  }
  return all;
}

class CliRun : public testing::Test {
 protected:
  void SetUp() override {
    unsetenv("RV_SOLA62_CONNECT");  // each case names its link
    Start("");
  }
};

}  // namespace

TEST_F(CliRun, EachCommandItsFramesOutputAndExitCode) {
  // Files of the working folder; a script's last line needs no line end.
  std::ofstream("bad.txt")
      << "set 1 --type v\n# fine\nsweep --type v --from 0 --to 1 --t1 0s --t2 0ms";
  std::ofstream("failing.txt")
      << "set 1 --type v # why\r\n\n\t sleep\t10 \r\nreplay --stop\nset 2 --type v\n";
  std::remove("records.csv");
  const std::string identity = "device code 2\nfirmware 1.05\nserial RS620042\n";
  const std::string text = "TIME  0.000 V  type 1  normal\n", csv = "TIME,0.000,V,1,normal\n";
  const std::string json =
      R"({"command":"get","time":"TIME","value":0.0,"code":0,"text":"0.000","unit":"V","type":1,"mode":"normal"})"
      "\n";
  const std::string header = "time,value,unit,type,mode\n";
  const std::string refused = "20.5 is outside 0 to 20 mA (type 2)";
  std::string script = "\xEF\xBB\xBF# a thousand values, then a pause\n", sets, frames = "ID";
  for (int i = 0; i < 1000; ++i) {
    script += "set '4' --type \"ma\"\n";
    sets += "set 4.000 mA (type 2)\n";
    frames += ",C1 02 19 99";
  }
  struct Case {
    const char* args;
    std::string frames;
    std::string out;
    int code = 0;
    std::string err = "";       // with a failing code: the message
    const char* sim = nullptr;  // a new instrument with these options; null: the one before
    std::string input = "";
    const char* reply = "";
  } cases[] = {
      {"identify", "ID,BYE", identity},
      {"-v identify", "ID,BYE", identity, 0,
       "T > AA 10 00 00 00 BB\nT < 55 10 00 00 00 66\nT > AA 42 00 00 00 ED\n"
       "T < 55 42 00 00 06 02 01 05 00 00 00 A6\nT > AA 43 00 00 00 EE\n"
       "T < 55 43 00 00 08 52 53 36 32 30 30 34 32 74\nT > AA 11 00 00 00 BC\n"
       "T < 55 11 00 00 00 67\n"},
      {"set -5 --type mv", "ID,C1 00 F9 9A,BYE", "set -5.00 mV (type 0)\n"},
      {"set -10 --type v", "ID,C1 01 80 00,BYE", "set -10.000 V (type 1)\n"},
      {"set 4 --type ma", "ID,C1 02 19 99,BYE", "set 4.000 mA (type 2)\n"},
      {"set +5V --type v", "ID,C1 01 40 00,BYE", "set 5.000 V (type 1)\n"},
      {"set 20mA --type ma-ext", "ID,C1 03 7F FF,BYE", "set 20.000 mA (type 3)\n"},
      // Without --type, for the type that the live report shows: 3, set just above.
      {"off", "ID,C2,C1 03 00 00,BYE", "off (type 3)\n"},
      {"off --type 1", "ID,C1 01 00 00,BYE", "off (type 1)\n"},
      {"get", "ID,C2,BYE", text},
      {"get --csv", "ID,C2,BYE", header + csv},
      {"get --json", "ID,C2,BYE", json},
      {"monitor --count 3 --interval 10ms --output -", "ID,C2,C2,C2,BYE", text + text + text},
      // --output appends, with the header only in a new file (read below).
      {"monitor --count 2 --interval 10 --csv --output records.csv", "ID,C2,C2,BYE", ""},
      {"monitor --count 2 --interval 10 --csv --output records.csv", "ID,C2,C2,BYE", ""},
      {"sweep --type ma --from 4 --to 20 --t1 .5s --t2 0ms", "ID,C6 02 19 99 7F FF 00 32 00 00,BYE",
       "sweep 4.000 mA to 20.000 mA, t1 500 ms, t2 0 ms (type 2)\n"},
      {"replay --channel AI3 --count 1", "ID,C4 02 00 01,BYE", "replay AI3 once\n"},
      {"replay --channel AI5 --count 65535", "ID,C4 04 FF FF,BYE", "replay AI5 65535 times\n"},
      {"--json replay --channel AI1 --endless", "ID,C4 00 00 00,BYE",
       R"({"command":"replay","channel":"AI1","endless":true})"
       "\n"},
      {"replay --stop", "ID,C5,BYE", "replay stopped\n"},
      // A script from stdin runs on one connection.
      {"run -", frames + ",BYE", sets, 0, "", nullptr, script + "\nsleep 20ms\n"},
      {"clock --set 2026-12-06T03:04:05", "ID,40 1A 0C 06 03 04 05,BYE",
       "clock set to 2026-12-06T03:04:05\n"},
      // The instrument's own time, as set just above; then the PC's.
      {"clock", "ID,41,BYE", "2026-12-06T03:04:05\n"},
      {"--json clock --set", "ID,40 18 01 01 07 08 09,BYE",
       R"({"command":"clock_set","clock":"2024-01-01T07:08:09"})"
       "\n"},
      // Refusals: nothing is sent, not even a connection is made.
      {"--json set 20.5 --type 2", "",
       R"j({"command":"set","error":{"code":2,"message":")j" + refused + "\"}}\n", 2, refused},
      {"set 5", "", "", 2, "--type is required (see --help)"},
      {"help nope", "", "", 2, "help nope: no such command (see --help)"},
      {"run .", "", "", 2, "cannot read the script .: Is a directory"},
      {"run bad.txt", "", "", 2,
       "line 3: --t1 and --t2 are both 0: at least one of them must be longer"},
      {"!identify", "", "", 2,
       "no link: give -c/--connect LINK or set RV_SOLA62_CONNECT (see --help)"},
      {"!-c COM3 identify", "", "", 2,
       "LINK 'COM3' is not a device path such as /dev/ttyUSB0, or tcp://HOST[:PORT]"},
      {"!-c tcp://gone identify", "", "", 3,
       "could not connect to tcp://gone:10101: it is not there"},
      {"!-c /gone monitor --output new.csv", "", "", 3, "could not open /gone: it is not there"},
      // Peers that are not the instrument, that refuse, or stay silent.
      {"identify", "10,42,BYE", "", 3,
       "not the instrument: device code 1 (the instrument has 0 or 2)", "--device-code 1"},
      {"identify", "10,42,BYE", "", 3,
       "not the instrument: the version request (0x42) was answered with status 3",
       "--status 0x42=3"},
      {"--json set 1 --type v", "ID,C1 01 0C CD,BYE",
       R"({"command":"set","error":{"code":1,"message":"the instrument answered the set output command (0xC1) with status 4","status":4}})"
       "\n",
       1, "the instrument answered the set output command (0xC1) with status 4", "--status 0xC1=4"},
      {"set 1 --type v", "ID,C1 01 0C CD,BYE", "", 1,
       "no answer to the set output command (0xC1) within 2 s (a reply with a bad checksum came)",
       "--bad-checksum 0xC1"},
      {"identify", "10,42,BYE", "", 3, "the version reply has 5 data bytes, 6 expected",
       "--short 0x42"},
      {"clock", "ID,41,BYE", "", 1, "the instrument answered an impossible time: 1A 0D 01 00 00 00",
       "", "", "41 1A 0D 01 00 00 00"},
      // What is set is what reads back; the text of the code sent.
      {"set -33.333 --type mv", "ID,C1 00 D5 55,BYE", "set -33.33 mV (type 0)\n"},
      {"get", "ID,C2,BYE", "TIME  -33.33 mV  type 0  normal\n"},
      {"set 99.995 --type mv", "ID,C1 00 7F FD,BYE", "set 99.99 mV (type 0)\n"},
      {"--json set -2.5 --type v", "ID,C1 01 E0 00,BYE",
       R"({"command":"set","type":1,"value":-2.5,"code":-8192,"text":"-2.500","unit":"V"})"
       "\n"},
      // A failing line stops a script with its own code.
      {"run failing.txt", "ID,C1 01 0C CD,C5,BYE", "set 1.000 V (type 1)\n", 1,
       "line 4: the instrument answered the stop replay command (0xC5) with status 4",
       "--status 0xC5=4"},
      // The connect command's 2 s, then the bare close.
      {"identify", "10", "", 3, "no answer to the connect command (0x10) within 2 s", "--silent"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    if (c.sim != nullptr) Start(c.sim);
    const Result r = Cli(c.args, c.input, c.reply);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.code == 0 ? c.err : "rv-sola62-cli: " + c.err + "\n");
    EXPECT_EQ(r.sent, Frames(c.frames));
    EXPECT_EQ(opens, c.code == 2 ? 0 : 1);
  }
  std::ostringstream records;
  records << std::ifstream("records.csv").rdbuf();
  EXPECT_EQ(Timeless(records.str()), header + csv + csv + csv + csv);
  EXPECT_FALSE(std::ifstream("new.csv").good());
}

TEST_F(CliRun, LinkFromTheEnvironmentAndHelp) {
  setenv("RV_SOLA62_CONNECT", "tcp://h", 1);
  EXPECT_EQ(Cli("!identify").code, 0);
  const Result help = Cli("!sweep --help");
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("--t1"), std::string::npos);
  // help COMMAND is the command's --help, which lists the global options too.
  EXPECT_EQ(Cli("!help get").out, Cli("!get --help").out);
  EXPECT_NE(Cli("!help get").out.find("--json"), std::string::npos);
  EXPECT_EQ(Cli("!--version").out, "rv-sola62-cli 1.0.0\n");
}
