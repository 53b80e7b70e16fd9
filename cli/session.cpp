#include "cli/session.h"

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/cli_platform.h"
#include "cli/time_texts.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "output/output_types.h"
#include "shell/status_text.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr uint8_t kReplyStart = 0x55;

// The last good answer to each command, as the frame observer saw it: the
// link keeps the status only of the seven commands that fill a record.
struct Answer {
  bool seen;
  uint8_t start;
  uint8_t status;
  int length;
};
Answer answers[256];

bool verbose_frames = false;
std::chrono::steady_clock::time_point log_start;
bool session_open = false;

std::string Hex(const uint8_t* bytes, int count) {
  std::string text;
  char pair[4];
  for (int i = 0; i < count; ++i) {
    std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : " %02X", bytes[i]);
    text += pair;
  }
  return text;
}

void ObserveFrame(bool outgoing, const uint8_t* frame, int count, bool checksum_good) {
  if (!outgoing && checksum_good) {
    const int length = count - 6;
    answers[frame[1]] = {true, frame[0], frame[2], length};
  }
  if (!verbose_frames) return;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - log_start).count();
  std::fprintf(stderr, "%.6f %c %s%s\n", seconds, outgoing ? '>' : '<', Hex(frame, count).c_str(),
               checksum_good ? "" : " (bad checksum)");
}

std::string CommandName(uint8_t command) {
  const char* name = "command";
  switch (command) {
    case CMD_CONNECT:
      name = "connect command";
      break;
    case CMD_DISCONNECT:
      name = "disconnect command";
      break;
    case CMD_SET_CLOCK:
      name = "set clock command";
      break;
    case CMD_GET_CLOCK:
      name = "get clock command";
      break;
    case CMD_GET_VERSION:
      name = "version request";
      break;
    case CMD_GET_SERIAL:
      name = "serial number request";
      break;
    case CMD_SET_OUTPUT:
      name = "set output command";
      break;
    case CMD_GET_OUTPUT:
      name = "live report request";
      break;
    case CMD_START_REPLAY:
      name = "start replay command";
      break;
    case CMD_STOP_REPLAY:
      name = "stop replay command";
      break;
    case CMD_START_SWEEP:
      name = "start sweep command";
      break;
  }
  char code[8];
  std::snprintf(code, sizeof code, "0x%02X", command);
  return std::string("the ") + name + " (" + code + ")";
}

Outcome NoAnswer(uint8_t command) {
  return Failure(kExitNoAnswer, "no answer to " + CommandName(command) + " within 2 s");
}

// Runs send, which waits for the answer to command: ok when one came with
// status 0.
template <typename Send>
Outcome Exchange(uint8_t command, Send send) {
  answers[command] = {};
  const int result = send();
  if (link_state.link_lost) return Failure(kExitLinkLost, "the link is lost");
  if (result != 0) return NoAnswer(command);
  if (answers[command].status != 0) {
    return Failure(kExitNoAnswer, "the instrument answered " + CommandName(command) +
                                      " with status " + std::to_string(answers[command].status));
  }
  return {};
}

Outcome ExchangeBare(uint8_t command) {
  return Exchange(command, [command] { return SendCommandAndWait(command, 0, nullptr); });
}

// A reply that carried its data, as the link's handler of it requires.
bool FullReply(uint8_t command, int length) {
  return answers[command].start == kReplyStart && answers[command].length == length;
}

Outcome NotInstrument(const std::string& why) {
  return Failure(kExitConnect, "not the instrument: " + why);
}

// Which step of the identification failed; the link's records hold what its
// rules judged.
Outcome IdentifyOutcome(int result) {
  auto refused = [](uint8_t command) {
    return NotInstrument(CommandName(command) + " was answered with status " +
                         std::to_string(FindReplyRecord(command)->status));
  };
  switch (result) {
    case 0:
      return {};
    case -2:
      return answers[CMD_CONNECT].seen ? refused(CMD_CONNECT) : NoAnswer(CMD_CONNECT);
    case -3:
      for (uint8_t command : {CMD_GET_VERSION, CMD_GET_SERIAL}) {
        if (!answers[command].seen) return NoAnswer(command);
        if (FindReplyRecord(command)->status != 0) return refused(command);
      }
      return NotInstrument("the identification failed");
    default:
      return NotInstrument("device code " + std::to_string(instrument_identity.device_code) +
                           " (the instrument has 0 or 2)");
  }
}

// The last live report of a request, caught from the link's display hook.
struct CaughtReport {
  bool caught;
  LiveRecord record;
};
CaughtReport caught_report;

void CatchLiveReport(const char*, int output_type, int mode) {
  const uint8_t* d = FindReplyRecord(CMD_GET_OUTPUT)->data;
  const int16_t code = static_cast<int16_t>(static_cast<uint16_t>(d[2] << 8 | d[3]));
  caught_report = {true, MakeLiveRecord(LocalTimestampNow(), code, output_type, mode)};
}

// The given time instead of the PC's, for SetInstrumentClock.
ClockFields given_clock;
void GivenClock(ClockFields* out) {
  *out = given_clock;
}

std::string Firmware() {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%02d",
                static_cast<int>(instrument_identity.firmware_version / 100),
                static_cast<int>(instrument_identity.firmware_version % 100));
  return text;
}

void PrintIdentity(OutputFormat format, LineSink* out) {
  // A serial number that no good reply brought is not the instrument's.
  const bool has_serial = FullReply(CMD_GET_SERIAL, 8) && answers[CMD_GET_SERIAL].status == 0;
  const std::string serial = has_serial ? PrintableText(instrument_identity.serial_number, 8) : "";
  if (format == OutputFormat::Json) {
    WriteLine(out, Json{{"command", "identify"},
                        {"device_code", instrument_identity.device_code},
                        {"firmware", Firmware()},
                        {"serial", has_serial ? Json(serial) : Json(nullptr)}}
                       .dump());
    return;
  }
  WriteLine(out, "device code " + std::to_string(instrument_identity.device_code));
  WriteLine(out, "firmware " + Firmware());
  WriteLine(out, "serial " + (has_serial ? serial : std::string("unknown")));
}

void PrintResult(OutputFormat format, LineSink* out, const std::string& text, const Json& json) {
  WriteLine(out, format == OutputFormat::Json ? json.dump() : text);
}

std::string ValueWithUnit(double value, int type) {
  return ValueToText(value, type) + " " + output_types[type].unit;
}

Outcome SetOutput(int type, double value, bool off, OutputFormat format, LineSink* out) {
  const uint16_t code = off ? 0 : static_cast<uint16_t>(EncodeOutputValue(value, type));
  Outcome o =
      Exchange(CMD_SET_OUTPUT, [&] { return SendOutputCommand(static_cast<uint8_t>(type), code); });
  if (!o.ok()) return o;
  const std::string type_text = "(type " + std::to_string(type) + ")";
  if (off) {
    PrintResult(format, out, "off " + type_text, {{"command", "off"}, {"type", type}});
  } else {
    PrintResult(format, out, "set " + ValueWithUnit(value, type) + " " + type_text,
                {{"command", "set"},
                 {"type", type},
                 {"value", value},
                 {"text", ValueToText(value, type)},
                 {"unit", output_types[type].unit}});
  }
  return {};
}

Outcome Sweep(const Command& c, OutputFormat format, LineSink* out) {
  const int t = c.output_type;
  const SweepSettings& s = c.sweep;
  Outcome o = Exchange(CMD_START_SWEEP, [&] {
    return SendSweepCommand(static_cast<uint8_t>(t),
                            static_cast<uint16_t>(EncodeOutputValue(s.a, t)),
                            static_cast<uint16_t>(EncodeOutputValue(s.b, t)),
                            static_cast<uint16_t>(s.t1), static_cast<uint16_t>(s.t2));
  });
  if (!o.ok()) return o;
  PrintResult(format, out,
              "sweep " + ValueWithUnit(s.a, t) + " to " + ValueWithUnit(s.b, t) + ", t1 " +
                  std::to_string(s.t1 * 10) + " ms, t2 " + std::to_string(s.t2 * 10) +
                  " ms (type " + std::to_string(t) + ")",
              {{"command", "sweep"},
               {"type", t},
               {"from", s.a},
               {"to", s.b},
               {"t1_ms", s.t1 * 10},
               {"t2_ms", s.t2 * 10}});
  return {};
}

Outcome Replay(const Command& c, OutputFormat format, LineSink* out) {
  Outcome o =
      Exchange(CMD_START_REPLAY, [&] { return SendReplayCommand(c.channel, c.replay_count); });
  if (!o.ok()) return o;
  const std::string channel = "AI" + std::to_string(c.channel + 1);
  const std::string times =
      c.replay_count == 0 ? "endless" : std::to_string(c.replay_count) + " times";
  PrintResult(format, out, "replay " + channel + " " + times,
              {{"command", "replay"}, {"channel", channel}, {"count", c.replay_count}});
  return {};
}

Outcome ReadClock(OutputFormat format, LineSink* out) {
  Outcome o = ExchangeBare(CMD_GET_CLOCK);
  if (!o.ok()) return o;
  // Only a full reply sets the clock fields; anything else would show a stale time.
  if (!FullReply(CMD_GET_CLOCK, 6)) {
    return Failure(kExitNoAnswer,
                   "the instrument answered " + CommandName(CMD_GET_CLOCK) + " without its time");
  }
  const std::string text = ClockText(clock_fields);
  PrintResult(format, out, text, {{"command", "clock"}, {"clock", text}});
  return {};
}

Outcome SetClock(const Command& c, OutputFormat format, LineSink* out) {
  const LinkPlatform saved = link_platform;
  if (c.has_clock_time) {
    given_clock = c.clock_time;
    link_platform.local_time = GivenClock;
  }
  Outcome o = Exchange(CMD_SET_CLOCK, [] { return SetInstrumentClock(); });
  link_platform = saved;
  if (!o.ok()) return o;
  const std::string text = ClockText(clock_fields);
  PrintResult(format, out, "clock set to " + text, {{"command", "clock_set"}, {"clock", text}});
  return {};
}

}  // namespace

void StartFrameLog(bool verbose) {
  verbose_frames = verbose;
  log_start = std::chrono::steady_clock::now();
  frame_observer = ObserveFrame;
}

Outcome OpenSession(const LinkAddress& address) {
  link_state.link_lost = false;
  std::string reason;
  if (OpenLink(address, &reason) != 0) {
    CloseTransport();
    return Failure(kExitConnect, (address.tcp ? "could not connect to " : "could not open ") +
                                     LinkAddressText(address) + ": " + reason);
  }
  for (uint8_t command : {CMD_CONNECT, CMD_GET_VERSION, CMD_GET_SERIAL}) answers[command] = {};
  const int result = IdentifyInstrument();
  if (result != 0) {
    // As the window ends a failed connect: a session the instrument accepted
    // is closed with the disconnect command.
    if (ConnectFailureFor(result).send_disconnect) {
      Disconnect();
    } else {
      CloseTransport();
    }
    return IdentifyOutcome(result);
  }
  StartLinkWatch();
  session_open = true;
  return {};
}

void CloseSession() {
  if (!session_open) return;
  session_open = false;
  Disconnect();
}

bool SessionOpen() {
  return session_open;
}

void DropSession() {
  session_open = false;
  CloseTransport();
}

Outcome RequestLiveReport(LiveRecord* record) {
  caught_report = {};
  void (*saved)(const char*, int, int) = show_live_report;
  show_live_report = CatchLiveReport;
  Outcome o = ExchangeBare(CMD_GET_OUTPUT);
  show_live_report = saved;
  if (!o.ok()) return o;
  if (!caught_report.caught) {
    return Failure(kExitNoAnswer, "the instrument answered " + CommandName(CMD_GET_OUTPUT) +
                                      " without a live report");
  }
  *record = caught_report.record;
  return {};
}

Outcome RunLinkCommand(const Command& c, OutputFormat format, LineSink* out) {
  switch (c.kind) {
    case CommandKind::Identify:
      PrintIdentity(format, out);
      return {};
    case CommandKind::Get: {
      LiveRecord record{};
      Outcome o = RequestLiveReport(&record);
      if (o.ok()) {
        if (format == OutputFormat::Csv) WriteLine(out, kCsvHeader);
        WriteLine(out, RecordLine(record, format));
      }
      return o;
    }
    case CommandKind::Set:
      return SetOutput(c.output_type, c.value, false, format, out);
    case CommandKind::Off: {
      int type = c.output_type;
      if (type < 0) {
        LiveRecord record{};
        if (Outcome o = RequestLiveReport(&record); !o.ok()) return o;
        if (record.output_type < 0 || record.output_type >= kOutputTypeCount) {
          return Failure(kExitNoAnswer, "the live report shows an unknown output type " +
                                            std::to_string(record.output_type));
        }
        type = record.output_type;
      }
      return SetOutput(type, 0.0, true, format, out);
    }
    case CommandKind::Sweep:
      return Sweep(c, format, out);
    case CommandKind::Replay:
      return Replay(c, format, out);
    case CommandKind::ReplayStop: {
      Outcome o = ExchangeBare(CMD_STOP_REPLAY);
      if (o.ok()) PrintResult(format, out, "replay stopped", {{"command", "replay_stop"}});
      return o;
    }
    case CommandKind::Clock:
      return ReadClock(format, out);
    case CommandKind::ClockSet:
      return SetClock(c, format, out);
    case CommandKind::Monitor:
    case CommandKind::ListPorts:
    case CommandKind::Run:
    case CommandKind::Sleep:
      break;
  }
  return {};
}
