// One command message from the broker, which anyone there may send: as raw
// bytes, and built from the script syntax's own words so that the checks'
// far ends are reached. What passes is run as the server runs it, on a
// session whose transport keeps what is written: no crash, and every frame
// is within the client's checks and the soft limits (off's code 0 aside).
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/session.h"
#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_session.h"
#include "output/output_types.h"
#include "server/mqtt_topics.h"

namespace {

void Expect(bool condition) {
  if (!condition) std::abort();
}

// mV free; v=-5:5, ma=4:12, ma-ext=0:10.
const SoftLimits kLimits = {{false, true, true, true}, {0, -5, 4, 0}, {0, 5, 12, 10}};

const char* const kCommands[] = {"set",      "off", "sweep",   "replay", "clock",
                                 "identify", "get", "monitor", "sleep"};
const char* const kOptions[] = {"--type",  "--from",    "--to",   "--t1",  "--t2", "--channel",
                                "--count", "--endless", "--stop", "--set", "--csv"};
const char* const kValues[] = {"mv",
                               "v",
                               "ma",
                               "ma-ext",
                               "3",
                               "2.5",
                               "-5",
                               "5",
                               "5.0001",
                               "-5.0001",
                               "4",
                               "3.99",
                               "12",
                               "12.001",
                               "20",
                               "100",
                               "-100.5",
                               "-0",
                               ".",
                               "-",
                               "1e3",
                               "nan",
                               "250ms",
                               "5s",
                               "0ms",
                               "600s",
                               "AI3",
                               "ai6",
                               "65535",
                               "0",
                               "2026-12-06T03:04:05"};
const char* const kSeparators[] = {"#", ";", "\t", "\n", "\r\n", "\x01"};

// A command word, then options, values and now and then anything.
std::string BuildCommand(FuzzedDataProvider* data) {
  std::string text = data->PickValueInArray(kCommands);
  while (data->remaining_bytes() > 0) {
    switch (data->ConsumeIntegralInRange(0, 3)) {
      case 0:
        text += std::string(" ") + data->PickValueInArray(kOptions);
        break;
      case 1:
        text += std::string(" ") + data->PickValueInArray(kValues);
        break;
      case 2:
        text += " " + data->ConsumeRandomLengthString(8);
        break;
      default:
        text += data->PickValueInArray(kSeparators);
    }
  }
  return text;
}

// The written frames; nothing ever answers, and time runs at once.
std::vector<std::vector<uint8_t>> written;
uint32_t clock_ms = 0;

int Drain(void*, uint8_t*) {
  return 0;
}
int Write(void*, const uint8_t* bytes, int count) {
  written.emplace_back(bytes, bytes + count);
  return 0;
}
void Close(void*) {}
uint32_t Now() {
  return clock_ms;
}
void Sleep(LinkSession*, uint32_t ms) {
  clock_ms += ms;
}

// A code as sent: in the type's range and the soft limit, give or take one
// step of the code.
void ExpectAllowed(int type, uint16_t code) {
  Expect(type >= 0 && type < kOutputTypeCount);
  const double value = DecodeOutputValue(type, static_cast<int16_t>(code));
  const double step = (output_types[type].max - output_types[type].min) / 32767.0;
  for (double near : {value - step, value, value + step}) {
    if (InOutputRange(near, type) && CheckSoftLimit(kLimits, type, near).empty()) return;
  }
  std::abort();
}

void ExpectFrameAllowed(const std::vector<uint8_t>& f) {
  Expect(f.size() >= 6 && f[0] == 0xAA);
  const uint8_t* d = f.data() + 5;
  auto code = [d](int at) { return static_cast<uint16_t>(d[at] << 8 | d[at + 1]); };
  switch (f[1]) {
    case CMD_SET_OUTPUT:
      Expect(f.size() == 9);
      if (code(1) != 0) ExpectAllowed(d[0], code(1));
      break;
    case CMD_START_SWEEP:
      Expect(f.size() == 15);
      ExpectAllowed(d[0], code(1));
      ExpectAllowed(d[0], code(3));
      break;
    case CMD_START_REPLAY:
      Expect(f.size() == 9 && d[0] <= 4);
      break;
    case CMD_GET_OUTPUT:
    case CMD_STOP_REPLAY:
    case CMD_GET_CLOCK:
    case CMD_SET_CLOCK:
      break;
    default:
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  static LinkSession* session = [] {
    auto* s = new LinkSession;
    InitLinkSession(s);
    s->platform.now_ms = Now;
    s->platform.sleep_ms = Sleep;
    return s;
  }();
  static LineSink sink{std::fopen("/dev/null", "w"), true};
  FuzzedDataProvider data(bytes, size);
  const std::string text =
      data.ConsumeBool() ? BuildCommand(&data) : data.ConsumeRemainingBytesAsString();
  Command c;
  const Outcome o = PrepareMqttCommand(text, kLimits, &c);
  Expect(o.ok() == o.message.empty());
  Expect(!ResultPayload(text, o, "").empty());
  if (!o.ok()) {
    Expect(o.code == kExitUsage);
    return 0;
  }
  Expect(c.kind != CommandKind::Monitor && c.kind != CommandKind::Sleep);
  written.clear();
  InstallTransport(session, {Drain, Write, Close, nullptr, nullptr});
  StartLinkWatch(session);
  RunLinkCommand(session, c, OutputFormat::Text, &sink);
  for (const std::vector<uint8_t>& frame : written) ExpectFrameAllowed(frame);
  return 0;
}
