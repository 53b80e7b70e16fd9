#include "cli/records.h"

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "link/instrument_commands.h"
#include "output/output_types.h"

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& object) {
  // Replace, never throw: texts from the instrument need not be UTF-8.
  return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

const char* const kCsvHeader = "time,value,unit,type,mode";

LiveRecord MakeLiveRecord(std::string time, int16_t code, int output_type, int mode) {
  char text[32];
  const double value = FormatOutputValue(code, output_type, text);
  const bool known = output_type >= 0 && output_type < kOutputTypeCount;
  return {std::move(time),
          output_type,
          mode,
          known,
          code,
          value,
          std::string(text),
          known ? output_types[output_type].unit : ""};
}

const char* ModeName(int mode) {
  static const char* const kNames[3] = {"normal", "replay", "sweep"};
  return mode >= 0 && mode < 3 ? kNames[mode] : "unknown";
}

std::string RecordLine(const LiveRecord& r, OutputFormat format, const char* command) {
  switch (format) {
    case OutputFormat::Json: {
      Json object = {{"command", command},
                     {"time", r.time},
                     {"value", r.has_value ? Json(r.value) : Json(nullptr)},
                     {"code", r.code},
                     {"text", r.text},
                     {"unit", r.unit},
                     {"type", r.output_type},
                     {"mode", ModeName(r.mode)}};
      return Dump(object);
    }
    case OutputFormat::Csv:
      // None of the fields can hold a comma or a quote.
      return r.time + "," + r.text + "," + r.unit + "," + std::to_string(r.output_type) + "," +
             ModeName(r.mode);
    case OutputFormat::Text:
      break;
  }
  return r.time + "  " + r.text + (r.unit.empty() ? "" : " " + r.unit) + "  type " +
         std::to_string(r.output_type) + "  " + ModeName(r.mode);
}

std::string EventLine(const std::string& time, const char* event, const std::string& reason,
                      bool json) {
  if (json) {
    Json line = {{"command", "monitor"}, {"time", time}, {"event", event}};
    if (!reason.empty()) line["reason"] = reason;
    return Dump(line);
  }
  return time + " " + event + (reason.empty() ? "" : ": " + reason);
}

std::string ErrorJson(const Outcome& o) {
  Json error = {{"code", o.code}, {"message", o.message}};
  if (o.status >= 0) error["status"] = o.status;
  Json line;
  if (o.command != nullptr) line["command"] = o.command;
  line["error"] = error;
  return Dump(line);
}

const char* CommandJsonName(CommandKind kind) {
  switch (kind) {
    case CommandKind::Identify:
      return "identify";
    case CommandKind::Get:
      return "get";
    case CommandKind::Set:
      return "set";
    case CommandKind::Off:
      return "off";
    case CommandKind::Sweep:
      return "sweep";
    case CommandKind::Replay:
      return "replay";
    case CommandKind::ReplayStop:
      return "replay_stop";
    case CommandKind::Clock:
      return "clock";
    case CommandKind::ClockSet:
      return "clock_set";
    case CommandKind::Monitor:
      return "monitor";
    case CommandKind::ListPorts:
      return "list_ports";
    case CommandKind::Run:
      return "run";
    case CommandKind::Sleep:
      return "sleep";
  }
  return "";
}

std::string PrintableText(const char* bytes, size_t count) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      text += static_cast<char>(c);
    } else {
      text += "\\x";
      text += digits[c >> 4];
      text += digits[c & 15];
    }
  }
  return text;
}

std::string PortLine(const SerialPortInfo& p, bool json) {
  auto or_null = [](const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); };
  if (json) {
    return Dump(Json{{"port", p.port},
                     {"by_id", or_null(p.by_id)},
                     {"usb", or_null(p.usb_id)},
                     {"serial", or_null(p.serial)},
                     {"description", or_null(p.description)}});
  }
  std::string line = p.port;
  for (const std::string* part : {&p.by_id, &p.usb_id, &p.serial, &p.description}) {
    if (!part->empty()) line += "  " + *part;
  }
  return line;
}

void WriteLine(LineSink* sink, const std::string& line) {
  if (sink->error != 0) return;
  errno = 0;
  if (std::fputs(line.c_str(), sink->file) == EOF || std::fputc('\n', sink->file) == EOF ||
      std::fflush(sink->file) == EOF) {
    sink->error = errno != 0 ? errno : EIO;
  }
}

Outcome WriteOutcome(const LineSink& sink) {
  if (sink.error == 0) return {};
  // A reader that has gone (head, a closed pager) wants no more.
  if (sink.error == EPIPE) return Ending(kExitOk);
  return Failure(kExitOutput,
                 std::string("the output could not be written: ") + std::strerror(sink.error));
}

bool OpenAppending(const std::string& path, LineSink* sink, bool* is_empty, std::string* reason) {
  FILE* file = std::fopen(path.c_str(), "a");
  if (file == nullptr) {
    *reason = std::strerror(errno);
    return false;
  }
  std::fseek(file, 0, SEEK_END);
  *is_empty = std::ftell(file) == 0;
  *sink = LineSink{file, true, 0};
  return true;
}

void CloseSink(LineSink* sink) {
  if (sink->own_file && sink->file != nullptr) std::fclose(sink->file);
  *sink = LineSink{};
}

std::string FrameLine(double seconds, bool outgoing, const uint8_t* frame, int count,
                      bool checksum_good) {
  char head[32];
  std::snprintf(head, sizeof head, "%.6f %c ", seconds, outgoing ? '>' : '<');
  const std::string line = head + BytesInHex(frame, count);
  return checksum_good ? line : line + " (bad checksum)";
}

std::string BytesInHex(const uint8_t* bytes, int count) {
  std::string text;
  char pair[4];
  for (int i = 0; i < count; ++i) {
    std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : " %02X", bytes[i]);
    text += pair;
  }
  return text;
}
