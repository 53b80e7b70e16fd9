// The client end to end against the test's own instrument: the exact bytes
// of every command, the outputs, the refusals and their exit codes.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#define CSV_IO_NO_THREAD
#include <libfccp/csv.h>

#include "tests/cli/cli_harness.h"

namespace {

using Json = nlohmann::json;

const Bytes kIdentify = [] {
  Bytes b = Frame(0x10);
  for (uint8_t command : {0x42, 0x43}) {
    Bytes f = Frame(command);
    b.insert(b.end(), f.begin(), f.end());
  }
  return b;
}();

// The whole conversation of one command: identification, its frames, disconnect.
std::string Session(const std::vector<Bytes>& frames) {
  Bytes all = kIdentify;
  for (const Bytes& f : frames) all.insert(all.end(), f.begin(), f.end());
  Bytes disconnect = Frame(0x11);
  all.insert(all.end(), disconnect.begin(), disconnect.end());
  return Hex(all);
}

// What one run added to the fake's record.
std::string Sent(FakeInstrument* fake, size_t before) {
  Bytes all = fake->Received();
  return Hex(Bytes(all.begin() + static_cast<long>(before), all.end()));
}

std::vector<Json> JsonLines(const std::string& text) {
  std::vector<Json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
  return lines;
}

struct CsvRow {
  std::string time, value, unit, type, mode;
};

std::vector<CsvRow> CsvRows(const std::string& text) {
  std::istringstream in(text);
  io::CSVReader<5, io::trim_chars<>, io::double_quote_escape<',', '"'>> reader("records", in);
  reader.read_header(io::ignore_no_column, "time", "value", "unit", "type", "mode");
  std::vector<CsvRow> rows;
  CsvRow r;
  while (reader.read_row(r.time, r.value, r.unit, r.type, r.mode)) rows.push_back(r);
  return rows;
}

const std::regex kTimestamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)");

bool IsTimestamp(const std::string& text) {
  return std::regex_match(text, kTimestamp);
}

std::string WriteFile(const std::string& name, const std::string& text) {
  const std::string path = TempDir() + "/" + name;
  std::ofstream(path) << text;
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

TEST(CliWire, ExactBytesOfEveryCommandOverTcpAndPty) {
  struct Case {
    std::vector<std::string> args;
    std::vector<Bytes> frames;
    const char* out;  // null: not compared
  } cases[] = {
      {{"identify"}, {}, "device code 2\nfirmware 1.05\nserial RS620042\n"},
      {{"set", "-5", "--type", "mv"}, {Frame(0xC1, {0x00, 0xF9, 0x9A})}, "set -5.00 mV (type 0)\n"},
      {{"set", "2.5", "--type", "v"}, {Frame(0xC1, {0x01, 0x20, 0x00})}, nullptr},
      {{"set", "-10", "--type", "1"}, {Frame(0xC1, {0x01, 0x80, 0x00})}, nullptr},
      {{"set", "4", "--type", "ma"}, {Frame(0xC1, {0x02, 0x19, 0x99})}, nullptr},
      {{"set", "20", "--type", "ma-ext"}, {Frame(0xC1, {0x03, 0x7F, 0xFF})}, nullptr},
      // Without --type, for the type that the live report shows: 3, set just above.
      {{"off"}, {Frame(0xC2), Frame(0xC1, {0x03, 0x00, 0x00})}, "off (type 3)\n"},
      {{"off", "--type", "v"}, {Frame(0xC1, {0x01, 0x00, 0x00})}, nullptr},
      {{"sweep", "--type", "ma", "--from", "4", "--to", "20", "--t1", "1s", "--t2", "0ms"},
       {Frame(0xC6, {0x02, 0x19, 0x99, 0x7F, 0xFF, 0x00, 0x64, 0x00, 0x00})},
       nullptr},
      {{"sweep", "--type", "mv", "--from", "-100", "--to", "100", "--t1", "5s", "--t2", "5000ms"},
       {Frame(0xC6, {0x00, 0x80, 0x00, 0x7F, 0xFF, 0x01, 0xF4, 0x01, 0xF4})},
       nullptr},
      {{"replay", "--channel", "AI3", "--count", "10"}, {Frame(0xC4, {0x02, 0x00, 0x0A})}, nullptr},
      {{"replay", "--channel", "AI5", "--count", "65535"},
       {Frame(0xC4, {0x04, 0xFF, 0xFF})},
       nullptr},
      {{"replay", "--channel", "AI1", "--endless"}, {Frame(0xC4, {0x00, 0x00, 0x00})}, nullptr},
      {{"replay", "--stop"}, {Frame(0xC5)}, "replay stopped\n"},
      {{"clock", "--set", "2026-12-06T03:04:05"},
       {Frame(0x40, {0x1A, 0x0C, 0x06, 0x03, 0x04, 0x05})},
       "clock set to 2026-12-06T03:04:05\n"},
      {{"clock"}, {Frame(0x41)}, nullptr},
  };
  for (FakeInstrument::Kind kind : {FakeInstrument::kTcp, FakeInstrument::kPty}) {
    FakeInstrument fake(kind);
    for (const Case& c : cases) {
      SCOPED_TRACE(fake.link() + " " + c.args[0]);
      const size_t before = fake.Received().size();
      std::vector<std::string> args = {"-c", fake.link()};
      args.insert(args.end(), c.args.begin(), c.args.end());
      CliResult r = RunCli(args);
      EXPECT_EQ(r.exit_code, 0) << r.err;
      EXPECT_EQ(Sent(&fake, before), Session(c.frames));
      if (c.out != nullptr) {
        EXPECT_EQ(r.out, c.out);
      }
    }
    // The instrument's own time: set just above, and still running from there.
    CliResult read = RunCli({"-c", fake.link(), "clock"});
    EXPECT_EQ(read.out.substr(0, 17), "2026-12-06T03:04:") << read.out;

    // The PC's time: the bytes carry what the client says it set.
    const size_t before = fake.Received().size();
    CliResult set = RunCli({"--json", "-c", fake.link(), "clock", "--set"});
    ASSERT_EQ(set.exit_code, 0) << set.err;
    const std::string shown = Json::parse(set.out)["clock"];
    int y, mo, d, h, mi, s;
    ASSERT_EQ(std::sscanf(shown.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s), 6);
    const Bytes clock = {static_cast<uint8_t>(y - 2000), static_cast<uint8_t>(mo),
                         static_cast<uint8_t>(d),        static_cast<uint8_t>(h),
                         static_cast<uint8_t>(mi),       static_cast<uint8_t>(s)};
    EXPECT_EQ(Sent(&fake, before), Session({Frame(0x40, clock)}));
    EXPECT_EQ(fake.Connections(), kind == FakeInstrument::kTcp ? 18 : 0);
  }
}

TEST(CliWire, VerboseShowsEveryFrame) {
  FakeInstrument fake(FakeInstrument::kTcp);
  CliResult r = RunCli({"-v", "-c", fake.link(), "identify"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(std::regex_search(
      r.err, std::regex(R"(^\d+\.\d{6} > AA 10 00 00 00 BB$)", std::regex::multiline)))
      << r.err;
  EXPECT_NE(r.err.find(" < 55 10 00 00 00 66\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" < 55 43 00 00 08 52 53 36 32 30 30 34 32 74\n"), std::string::npos);
  EXPECT_NE(r.err.find(" > AA 11 00 00 00 BC\n"), std::string::npos);
  EXPECT_EQ(Lines(r.err), 8);
}

TEST(CliOutput, GetAndMonitorInEachFormat) {
  FakeInstrument fake(FakeInstrument::kTcp);
  ASSERT_EQ(RunCli({"-c", fake.link(), "set", "2.5", "--type", "v"}).exit_code, 0);

  CliResult text = RunCli({"-c", fake.link(), "get"});
  EXPECT_EQ(text.exit_code, 0);
  EXPECT_TRUE(std::regex_match(text.out, std::regex(R"(\S+  2\.500 V  type 1  normal\n)")))
      << text.out;
  EXPECT_TRUE(IsTimestamp(text.out.substr(0, text.out.find(' '))));

  std::vector<Json> get = JsonLines(RunCli({"--json", "-c", fake.link(), "get"}).out);
  ASSERT_EQ(get.size(), 1u);
  EXPECT_TRUE(IsTimestamp(get[0]["time"]));
  EXPECT_NEAR(get[0]["value"].get<double>(), 2.5, 0.001);
  EXPECT_EQ(get[0]["text"], "2.500");
  EXPECT_EQ(get[0]["unit"], "V");
  EXPECT_EQ(get[0]["type"], 1);
  EXPECT_EQ(get[0]["mode"], "normal");

  std::vector<CsvRow> rows = CsvRows(RunCli({"-c", fake.link(), "get", "--csv"}).out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].value, "2.500");

  auto run = [&](std::vector<std::string> before, std::vector<std::string> after,
                 const char* count = "3") {
    before.insert(before.end(),
                  {"-c", fake.link(), "monitor", "--count", count, "--interval", "50"});
    before.insert(before.end(), after.begin(), after.end());
    CliResult r = RunCli(before);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
  };
  const std::string lines = run({}, {});
  EXPECT_EQ(Lines(lines), 3);
  EXPECT_TRUE(std::regex_search(lines, std::regex(R"(  2\.500 V  type 1  normal\n$)")));

  rows = CsvRows(run({}, {"--csv"}));
  ASSERT_EQ(rows.size(), 3u);
  std::vector<Json> records = JsonLines(run({"--json"}, {}));
  ASSERT_EQ(records.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(rows[i].unit, "V");
    EXPECT_EQ(rows[i].type, "1");
    EXPECT_EQ(rows[i].mode, "normal");
    EXPECT_TRUE(IsTimestamp(rows[i].time));
    EXPECT_EQ(records[i]["text"], "2.500");
    // Same zone and day here, so the texts order as the times do.
    if (i > 0) {
      EXPECT_LT(records[i - 1]["time"].get<std::string>(), records[i]["time"]);
    }
  }

  // --output appends, with the header only in a new file.
  const std::string file = TempDir() + "/records.csv";
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(run({}, {"--csv", "--output", file}, "2"), "");
  }
  EXPECT_EQ(CsvRows(ReadFile(file)).size(), 4u);
}

TEST(CliInput, BadInputExitsWithTwoAndSendsNothing) {
  FakeInstrument fake(FakeInstrument::kTcp);
  const std::string script =
      WriteFile("bad.txt",
                "set 1 --type v\n# fine so far\nsweep --type v --from 0 --to 1 "
                "--t1 0s --t2 0ms\nset 2 --type v\n");
  // The messages themselves are the unit tests' business.
  const std::vector<std::vector<std::string>> cases = {
      {"set", "x", "--type", "ma"},
      {"set", "20.5", "--type", "ma"},
      {"sweep", "--type", "ma", "--from", "4", "--to", "20", "--t1", "0s", "--t2", "0ms"},
      {"replay", "--channel", "AI6", "--count", "1"},
      {"replay", "--channel", "AI1", "--count", "0"},
      {"set", "5"},
      {"run", script},
  };
  for (const std::vector<std::string>& c : cases) {
    std::vector<std::string> args = {"-c", fake.link()};
    args.insert(args.end(), c.begin(), c.end());
    CliResult r = RunCli(args);
    EXPECT_EQ(r.exit_code, 2) << c[0];
    EXPECT_EQ(r.err.rfind("rv-sola62-cli: ", 0), 0u) << r.err;
    EXPECT_EQ(Lines(r.err), 1) << r.err;
  }
  EXPECT_EQ(
      RunCli({"-c", fake.link(), "run", script}).err,
      "rv-sola62-cli: line 3: --t1 and --t2 are both 0: at least one of them must be longer\n");
  CliResult json = RunCli({"--json", "-c", fake.link(), "set", "20.5", "--type", "2"});
  EXPECT_EQ(json.exit_code, 2);
  EXPECT_EQ(Json::parse(json.out)["error"]["code"], 2);
  EXPECT_EQ(Json::parse(json.out)["error"]["message"], "20.5 is outside 0 to 20 mA (type 2)");
  // Not even a connection, let alone the connect command.
  EXPECT_EQ(fake.Connections(), 0);
  EXPECT_EQ(Hex(fake.Received()), "");

  CliResult no_link = RunCli({"identify"});
  EXPECT_EQ(no_link.exit_code, 2);
  EXPECT_NE(no_link.err.find("--connect"), std::string::npos);
  EXPECT_NE(no_link.err.find("RV_SOLA62_CONNECT"), std::string::npos);
  EXPECT_EQ(RunCli({"-c", "COM3", "identify"}).exit_code, 2);
  CliResult from_env = RunCli({"identify"}, {"RV_SOLA62_CONNECT=" + fake.link()});
  EXPECT_EQ(from_env.exit_code, 0) << from_env.err;
}

TEST(CliConnect, FailuresAndTheirExitCodes) {
  const std::string missing = TempDir() + "/no-such-port";
  const std::string plain_file = WriteFile("not-a-port", "");
  struct Case {
    std::vector<std::string> link;  // -c LINK, or a fake made from options
    int code;
    const char* message;
  } quick[] = {
      {{TcpLink(RefusedPort())}, 3, "Connection refused"},
      {{missing}, 3, "No such file or directory"},
      {{plain_file}, 3, "not a serial port"},
  };
  for (const Case& c : quick) {
    CliResult r = RunCli({"-c", c.link[0], "identify"});
    EXPECT_EQ(r.exit_code, c.code) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_LT(r.seconds, 1.5);
  }

  SimOptions device_one;
  device_one.device_code = 1;
  SimOptions bad_version;
  bad_version.status_override[0x42] = 3;
  SimOptions refused_set;
  refused_set.status_override[0xC1] = 4;
  struct PeerCase {
    const SimOptions* options;
    std::vector<std::string> command;
    int code;
    const char* message;
    std::vector<Bytes> frames;  // all that was sent
  } peers[] = {
      {&device_one,
       {"identify"},
       3,
       "not the instrument: device code 1 (the instrument has 0 or 2)",
       {Frame(0x10), Frame(0x42), Frame(0x11)}},
      {&bad_version,
       {"identify"},
       3,
       "not the instrument: the version request (0x42) was answered with status 3",
       {Frame(0x10), Frame(0x42), Frame(0x11)}},
      {&refused_set,
       {"set", "1", "--type", "v"},
       1,
       "the instrument answered the set output command (0xC1) with status 4",
       {Frame(0x10), Frame(0x42), Frame(0x43), Frame(0xC1, {0x01, 0x0C, 0xCD}), Frame(0x11)}},
  };
  for (const PeerCase& c : peers) {
    FakeInstrument fake(FakeInstrument::kTcp, *c.options);
    std::vector<std::string> args = {"-c", fake.link()};
    args.insert(args.end(), c.command.begin(), c.command.end());
    CliResult r = RunCli(args);
    EXPECT_EQ(r.exit_code, c.code);
    EXPECT_EQ(r.err, std::string("rv-sola62-cli: ") + c.message + "\n");
    Bytes all;
    for (const Bytes& f : c.frames) all.insert(all.end(), f.begin(), f.end());
    EXPECT_EQ(Hex(fake.Received()), Hex(all));
  }

  // A silent peer: the connect command's 2 s, then the bare close.
  SimOptions silent;
  silent.silent = true;
  FakeInstrument quiet(FakeInstrument::kPty, silent);
  CliResult r = RunCli({"-c", quiet.link(), "identify"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "rv-sola62-cli: no answer to the connect command (0x10) within 2 s\n");
  EXPECT_GT(r.seconds, 1.95);
  EXPECT_LT(r.seconds, 4.0);
  EXPECT_EQ(Hex(quiet.Received()), Hex(Frame(0x10)));
}

TEST(CliMonitor, PortIsExclusiveAndCtrlCDisconnects) {
  FakeInstrument fake(FakeInstrument::kPty);
  CliProcess monitor({"--json", "-c", fake.link(), "monitor", "--interval", "50"});
  ASSERT_TRUE(monitor.WaitForOutput([](const std::string& out) { return Lines(out) >= 2; }, 10000));

  CliResult second = RunCli({"-c", fake.link(), "identify"});
  EXPECT_EQ(second.exit_code, 3);
  EXPECT_NE(second.err.find("in use by another program"), std::string::npos) << second.err;

  monitor.Signal(SIGINT);
  CliResult r = monitor.Finish(5000);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::string sent = Hex(fake.Received());
  EXPECT_EQ(sent.substr(sent.size() - Hex(Frame(0x11)).size()), Hex(Frame(0x11)));
  for (const Json& record : JsonLines(r.out)) EXPECT_EQ(record["mode"], "normal");
}

TEST(CliRun, ScriptsOnOneConnection) {
  FakeInstrument fake(FakeInstrument::kTcp);
  std::string script = "# a thousand values, then a pause\n";
  for (int i = 0; i < 1000; ++i) script += "set " + std::to_string(i * 0.02) + " --type ma\n";
  script += "\nsleep 20\n";
  CliResult r = RunCli({"-c", fake.link(), "run", "-"}, {}, script);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Lines(r.out), 1000);
  EXPECT_EQ(fake.Connections(), 1);
  const Bytes sent = fake.Received();
  // Identification, 1000 frames of 9 bytes, disconnect.
  ASSERT_EQ(sent.size(), kIdentify.size() + 9000 + 6);
  EXPECT_EQ(Hex(Bytes(sent.begin(), sent.begin() + static_cast<long>(kIdentify.size()))),
            Hex(kIdentify));
  for (size_t at = kIdentify.size(); at < sent.size() - 6; at += 9) {
    ASSERT_EQ(sent[at + 1], 0xC1) << at;
  }

  // A failing line stops the script with its own code.
  SimOptions refused_stop;
  refused_stop.status_override[0xC5] = 4;
  FakeInstrument strict(FakeInstrument::kTcp, refused_stop);
  const std::string failing =
      WriteFile("failing.txt", "set 1 --type v\nreplay --stop\nset 2 --type v\n");
  r = RunCli({"-c", strict.link(), "run", failing});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "rv-sola62-cli: line 2: the instrument answered the stop replay command (0xC5) with "
            "status 4\n");
  EXPECT_EQ(Hex(strict.Received()), Session({Frame(0xC1, {0x01, 0x0C, 0xCD}), Frame(0xC5)}));
}
