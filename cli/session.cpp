#include "cli/session.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>

#include "cli/cli_platform.h"
#include "cli/time_texts.h"
#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "link/transports.h"
#include "output/output_types.h"

namespace {

using Json = nlohmann::ordered_json;

// Notes replies that failed their checksum, for the message of a wait that
// got no answer; with verbose, logs every frame.
void ObserveFrame(void* context, bool outgoing, const uint8_t* frame, int count,
                  bool checksum_good) {
  ClientSession* client = static_cast<ClientSession*>(context);
  client->bad_checksum[frame[1]] = !outgoing && !checksum_good;
  if (!client->verbose) return;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - client->log_start).count();
  std::fprintf(stderr, "%s\n", FrameLine(seconds, outgoing, frame, count, checksum_good).c_str());
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

// The client that opened the session, or null where another front end owns
// its hooks (the server's link thread).
const ClientSession* ClientOf(const LinkSession* session) {
  if (session->events.frame != ObserveFrame) return nullptr;
  return static_cast<const ClientSession*>(session->events.context);
}

Outcome NoAnswer(const LinkSession* session, uint8_t command, int code = kExitNoAnswer) {
  const ClientSession* client = ClientOf(session);
  const bool bad = client != nullptr && client->bad_checksum[command];
  return Failure(code, "no answer to " + CommandName(command) + " within 2 s" +
                           (bad ? " (a reply with a bad checksum came)" : ""));
}

// A signal ends a command's wait at once, and the disconnect's after 500 ms.
bool WaitCancelled(void* context) {
  const ClientSession* client = static_cast<const ClientSession*>(context);
  return client->interrupted != nullptr && client->interrupted() &&
         (!client->disconnecting || std::chrono::steady_clock::now() - client->disconnect_start >
                                        std::chrono::milliseconds(500));
}

void NoteDisconnect(void* context) {
  ClientSession* client = static_cast<ClientSession*>(context);
  client->disconnecting = true;
  client->disconnect_start = std::chrono::steady_clock::now();
}

void KeepLiveReport(void* context, int mode, int output_type, int16_t code) {
  static_cast<ClientSession*>(context)->live_records.push_back(
      MakeLiveRecord(LocalTimestampNow(), code, output_type, mode));
}

// The result of a command's exchange: ok when it was answered with status 0.
Outcome Judge(const LinkSession* session, uint8_t command, int result) {
  if (session->link_state.link_lost) return Failure(kExitLinkLost, "the link is lost");
  if (session->link_state.transport_ended) {
    return Failure(kExitLinkLost, "the link was lost: " + TransportEndReason(ClientOf(session)));
  }
  if (result == 2) return Failure(kExitNoAnswer, "could not send " + CommandName(command));
  if (result != 0) return NoAnswer(session, command);
  const uint8_t status = session->reply_records[command].status;
  if (status != 0) {
    Outcome o = Failure(kExitNoAnswer, "the instrument answered " + CommandName(command) +
                                           " with status " + std::to_string(status));
    o.status = status;
    return o;
  }
  return {};
}

Outcome ExchangeBare(LinkSession* session, uint8_t command) {
  return Judge(session, command, SendCommandAndWait(session, command, 0, nullptr));
}

// A reply that carried its data, as the link's handler of it requires.
bool FullReply(const LinkSession* session, uint8_t command, int length) {
  const ReplyRecord& record = session->reply_records[command];
  return record.start_byte == kReplyStart && record.length == length;
}

Outcome NotInstrument(const std::string& why) {
  return Failure(kExitConnect, "not the instrument: " + why);
}

// Which step of the identification failed; the link's records hold what its
// rules judged.
Outcome IdentifyOutcome(const LinkSession* session, int result) {
  const ReplyRecord* records = session->reply_records;
  auto refused = [records](uint8_t command) {
    Outcome o = NotInstrument(CommandName(command) + " was answered with status " +
                              std::to_string(records[command].status));
    o.status = records[command].status;
    return o;
  };
  const int version_length = records[CMD_GET_VERSION].length;
  switch (result) {
    case 0:
      return {};
    case -2:
      // Silence to the connect command: no instrument was reached.
      return records[CMD_CONNECT].start_byte != 0 ? refused(CMD_CONNECT)
                                                  : NoAnswer(session, CMD_CONNECT, kExitConnect);
    case -3:
      for (uint8_t command : {CMD_GET_VERSION, CMD_GET_SERIAL}) {
        if (records[command].start_byte == 0) return NoAnswer(session, command);
        if (records[command].status != 0) return refused(command);
      }
      return NotInstrument("the identification failed");
    default:
      // The device code after a reply of the wrong length is the one before.
      if (version_length != 6) {
        return Failure(kExitConnect, "the version reply has " + std::to_string(version_length) +
                                         " data bytes, 6 expected");
      }
      return NotInstrument("device code " +
                           std::to_string(session->instrument_identity.device_code) +
                           " (the instrument has 0 or 2)");
  }
}

std::string Firmware(const InstrumentIdentity& identity) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%02d", static_cast<int>(identity.firmware_version / 100),
                static_cast<int>(identity.firmware_version % 100));
  return text;
}

void PrintIdentity(const LinkSession* session, OutputFormat format, LineSink* out) {
  const InstrumentIdentity& identity = session->instrument_identity;
  // A serial number that no good reply brought is not the instrument's.
  const bool has_serial =
      FullReply(session, CMD_GET_SERIAL, 8) && session->reply_records[CMD_GET_SERIAL].status == 0;
  const std::string serial = has_serial ? PrintableText(identity.serial_number, 8) : "";
  if (format == OutputFormat::Json) {
    WriteLine(out, Json{{"command", "identify"},
                        {"device_code", identity.device_code},
                        {"firmware", Firmware(identity)},
                        {"serial", has_serial ? Json(serial) : Json(nullptr)}}
                       .dump());
    return;
  }
  WriteLine(out, "device code " + std::to_string(identity.device_code));
  WriteLine(out, "firmware " + Firmware(identity));
  WriteLine(out, "serial " + (has_serial ? serial : std::string("unknown")));
}

void PrintResult(OutputFormat format, LineSink* out, const std::string& text, const Json& json) {
  WriteLine(out, format == OutputFormat::Json ? json.dump() : text);
}

std::string ValueWithUnit(double value, int type) {
  return ValueToText(value, type) + " " + output_types[type].unit;
}

Outcome SetOutput(LinkSession* session, int type, double value, bool off, OutputFormat format,
                  LineSink* out) {
  const uint16_t code = off ? 0 : static_cast<uint16_t>(EncodeOutputValue(value, type));
  Outcome o =
      Judge(session, CMD_SET_OUTPUT, SendOutputCommand(session, static_cast<uint8_t>(type), code));
  if (!o.ok()) return o;
  // What the instrument was sent, not the typed text rounded.
  value = DecodeOutputValue(static_cast<unsigned>(type), static_cast<int16_t>(code));
  const std::string type_text = "(type " + std::to_string(type) + ")";
  if (off) {
    PrintResult(format, out, "off " + type_text, {{"command", "off"}, {"type", type}});
  } else {
    PrintResult(format, out, "set " + ValueWithUnit(value, type) + " " + type_text,
                {{"command", "set"},
                 {"type", type},
                 {"value", value},
                 {"code", static_cast<int16_t>(code)},
                 {"text", ValueToText(value, type)},
                 {"unit", output_types[type].unit}});
  }
  return {};
}

Outcome Sweep(LinkSession* session, const Command& c, OutputFormat format, LineSink* out) {
  const int t = c.output_type;
  const SweepSettings& s = c.sweep;
  const int16_t a = static_cast<int16_t>(EncodeOutputValue(s.a, t));
  const int16_t b = static_cast<int16_t>(EncodeOutputValue(s.b, t));
  Outcome o = Judge(session, CMD_START_SWEEP,
                    SendSweepCommand(session, static_cast<uint8_t>(t), static_cast<uint16_t>(a),
                                     static_cast<uint16_t>(b), static_cast<uint16_t>(s.t1),
                                     static_cast<uint16_t>(s.t2)));
  if (!o.ok()) return o;
  // The values of the codes sent.
  const double from = DecodeOutputValue(static_cast<unsigned>(t), a);
  const double to = DecodeOutputValue(static_cast<unsigned>(t), b);
  PrintResult(format, out,
              "sweep " + ValueWithUnit(from, t) + " to " + ValueWithUnit(to, t) + ", t1 " +
                  std::to_string(s.t1 * 10) + " ms, t2 " + std::to_string(s.t2 * 10) +
                  " ms (type " + std::to_string(t) + ")",
              {{"command", "sweep"},
               {"type", t},
               {"from", from},
               {"from_code", a},
               {"to", to},
               {"to_code", b},
               {"t1_ms", s.t1 * 10},
               {"t2_ms", s.t2 * 10}});
  return {};
}

Outcome Replay(LinkSession* session, const Command& c, OutputFormat format, LineSink* out) {
  Outcome o =
      Judge(session, CMD_START_REPLAY, SendReplayCommand(session, c.channel, c.replay_count));
  if (!o.ok()) return o;
  const std::string channel = "AI" + std::to_string(c.channel + 1);
  const std::string times = c.replay_count == 0   ? "endless"
                            : c.replay_count == 1 ? "once"
                                                  : std::to_string(c.replay_count) + " times";
  Json json = {{"command", "replay"}, {"channel", channel}};
  if (c.replay_count == 0) {
    json["endless"] = true;
  } else {
    json["count"] = c.replay_count;
  }
  PrintResult(format, out, "replay " + channel + " " + times, json);
  return {};
}

Outcome ReadClock(LinkSession* session, OutputFormat format, LineSink* out) {
  Outcome o = ExchangeBare(session, CMD_GET_CLOCK);
  if (!o.ok()) return o;
  // Only a full reply sets the clock fields; anything else would show a stale time.
  if (!FullReply(session, CMD_GET_CLOCK, 6)) {
    return Failure(kExitNoAnswer,
                   "the instrument answered " + CommandName(CMD_GET_CLOCK) + " without its time");
  }
  if (!ClockFieldsValid(session->clock_fields)) {
    return Failure(kExitNoAnswer, "the instrument answered an impossible time: " +
                                      BytesInHex(session->reply_records[CMD_GET_CLOCK].data, 6));
  }
  const std::string text = ClockText(session->clock_fields);
  PrintResult(format, out, text, {{"command", "clock"}, {"clock", text}});
  return {};
}

Outcome SetClock(LinkSession* session, const Command& c, OutputFormat format, LineSink* out) {
  Outcome o = Judge(session, CMD_SET_CLOCK,
                    SetInstrumentClock(session, c.has_clock_time ? &c.clock_time : nullptr));
  if (!o.ok()) return o;
  const std::string text = ClockText(session->clock_fields);
  PrintResult(format, out, "clock set to " + text, {{"command", "clock_set"}, {"clock", text}});
  return {};
}

}  // namespace

std::string TransportEndReason(const ClientSession* client) {
  if (client == nullptr) return "the transport ended";
  return client->tcp ? "the peer closed the connection" : "the device is gone";
}

void StartClientSession(ClientSession* client, bool verbose) {
  client->verbose = verbose;
  client->log_start = std::chrono::steady_clock::now();
}

Outcome OpenSession(ClientSession* client, const LinkAddress& address) {
  // A new record for each connection: nothing of the last one carries over.
  client->link = std::make_unique<LinkSession>();
  LinkSession* session = client->link.get();
  InitLinkSession(session);
  session->events.context = client;
  session->events.live_report = KeepLiveReport;
  session->events.frame = ObserveFrame;
  session->events.cancelled = WaitCancelled;
  session->events.disconnecting = NoteDisconnect;
  client->tcp = address.tcp;
  client->disconnecting = false;
  client->live_records.clear();
  std::string reason;
  if (OpenLink(session, address, &reason) != 0) {
    return Failure(kExitConnect, (address.tcp ? "could not connect to " : "could not open ") +
                                     LinkAddressText(address) + ": " + reason);
  }
  const int result = IdentifyInstrument(session);
  if (result != 0) {
    // As the window ends a failed connect: a session the instrument accepted
    // is closed with the disconnect command.
    if (IdentifyCallsForDisconnect(result)) {
      Disconnect(session);
    } else {
      CloseTransport(session);
    }
    return IdentifyOutcome(session, result);
  }
  StartLinkWatch(session);
  client->open = true;
  if (client->link_open != nullptr) client->link_open(true);
  return {};
}

void CloseSession(ClientSession* client) {
  if (!client->open) return;
  client->open = false;
  Disconnect(client->link.get());
  if (client->link_open != nullptr) client->link_open(false);
}

void DropSession(ClientSession* client) {
  client->open = false;
  CloseTransport(client->link.get());
  if (client->link_open != nullptr) client->link_open(false);
}

Outcome RequestLiveReport(ClientSession* client, LiveRecord* record) {
  client->live_records.clear();
  Outcome o = ExchangeBare(client->link.get(), CMD_GET_OUTPUT);
  if (!o.ok()) return o;
  if (client->live_records.empty()) {
    return Failure(kExitNoAnswer, "the instrument answered " + CommandName(CMD_GET_OUTPUT) +
                                      " without a live report");
  }
  *record = client->live_records.back();
  client->live_records.clear();
  return {};
}

namespace {

// A command on a session, with the way it gets a live report.
Outcome RunOn(LinkSession* session, const std::function<Outcome(LiveRecord*)>& request_live,
              const Command& c, OutputFormat format, LineSink* out) {
  switch (c.kind) {
    case CommandKind::Identify:
      PrintIdentity(session, format, out);
      return {};
    case CommandKind::Get: {
      LiveRecord record{};
      Outcome o = request_live(&record);
      if (o.ok()) {
        if (format == OutputFormat::Csv) WriteLine(out, kCsvHeader);
        WriteLine(out, RecordLine(record, format, "get"));
      }
      return o;
    }
    case CommandKind::Set:
      return SetOutput(session, c.output_type, c.value, false, format, out);
    case CommandKind::Off: {
      int type = c.output_type;
      if (type < 0) {
        LiveRecord record{};
        if (Outcome o = request_live(&record); !o.ok()) return o;
        if (record.output_type < 0 || record.output_type >= kOutputTypeCount) {
          return Failure(kExitNoAnswer, "the live report shows an unknown output type " +
                                            std::to_string(record.output_type));
        }
        type = record.output_type;
      }
      return SetOutput(session, type, 0.0, true, format, out);
    }
    case CommandKind::Sweep:
      return Sweep(session, c, format, out);
    case CommandKind::Replay:
      return Replay(session, c, format, out);
    case CommandKind::ReplayStop: {
      Outcome o = ExchangeBare(session, CMD_STOP_REPLAY);
      if (o.ok()) PrintResult(format, out, "replay stopped", {{"command", "replay_stop"}});
      return o;
    }
    case CommandKind::Clock:
      return ReadClock(session, format, out);
    case CommandKind::ClockSet:
      return SetClock(session, c, format, out);
    case CommandKind::Monitor:
    case CommandKind::ListPorts:
    case CommandKind::Run:
    case CommandKind::Sleep:
      break;
  }
  return {};
}

// Where another front end owns the session's hooks, the report is read from
// the reply record.
Outcome LiveFromReply(LinkSession* session, LiveRecord* record) {
  Outcome o = ExchangeBare(session, CMD_GET_OUTPUT);
  if (!o.ok()) return o;
  if (!FullReply(session, CMD_GET_OUTPUT, 4)) {
    return Failure(kExitNoAnswer, "the instrument answered " + CommandName(CMD_GET_OUTPUT) +
                                      " without a live report");
  }
  const uint8_t* d = session->reply_records[CMD_GET_OUTPUT].data;
  *record =
      MakeLiveRecord(LocalTimestampNow(),
                     static_cast<int16_t>(static_cast<uint16_t>(d[2] << 8 | d[3])), d[1], d[0]);
  return {};
}

}  // namespace

Outcome RunLinkCommand(ClientSession* client, const Command& c, OutputFormat format,
                       LineSink* out) {
  return RunOn(
      client->link.get(), [client](LiveRecord* r) { return RequestLiveReport(client, r); }, c,
      format, out);
}

Outcome RunLinkCommand(LinkSession* session, const Command& c, OutputFormat format, LineSink* out) {
  return RunOn(
      session, [session](LiveRecord* r) { return LiveFromReply(session, r); }, c, format, out);
}
