#include "server/mqtt_topics.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/command_checks.h"
#include "cli/command_line.h"
#include "cli/records.h"
#include "cli/script.h"
#include "cli/time_texts.h"
#include "link/link_session.h"

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& object) {
  // The command text comes from anyone on the broker: replace, never throw.
  return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Outcome Usage(std::string message) {
  return Failure(kExitUsage, std::move(message));
}

// A word cut at a NUL would pass the checks as less than it says.
bool HasControlCharacter(const std::string& text) {
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\t' && c != '\r' && c != '\n') || u == 0x7F) return true;
  }
  return false;
}

Outcome CheckLimits(const Command& c, const SoftLimits& limits) {
  std::string refused;
  if (c.kind == CommandKind::Set) refused = CheckSoftLimit(limits, c.output_type, c.value);
  if (c.kind == CommandKind::Sweep) {
    refused = CheckSoftLimit(limits, c.output_type, c.sweep.a);
    if (refused.empty()) refused = CheckSoftLimit(limits, c.output_type, c.sweep.b);
  }
  return refused.empty() ? Outcome{} : Usage(refused);
}

}  // namespace

MqttTopics TopicsUnder(const std::string& prefix) {
  return {prefix + "/status", prefix + "/link",    prefix + "/identity",
          prefix + "/live",   prefix + "/command", prefix + "/result"};
}

std::string DefaultMqttPrefix(const InstrumentIdentity& identity) {
  std::string serial(identity.serial_number, 8);
  for (char& c : serial) {
    const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                       c == '-' || c == '_' || c == '.';
    if (!plain) c = '_';
  }
  return "rv-sola62/" + serial;
}

std::string IdentityPayload(const InstrumentIdentity& identity) {
  char firmware[16];
  std::snprintf(firmware, sizeof firmware, "%d.%02d",
                static_cast<int>(identity.firmware_version / 100),
                static_cast<int>(identity.firmware_version % 100));
  return Dump(Json{{"serial", PrintableText(identity.serial_number, 8)},
                   {"firmware", firmware},
                   {"device_code", identity.device_code}});
}

std::string LivePayload(int mode, int output_type, int16_t code) {
  return RecordLine(MakeLiveRecord(LocalTimestampNow(), code, output_type, mode),
                    OutputFormat::Json, "monitor");
}

std::string ResultPayload(const std::string& command_text, const Outcome& outcome,
                          const std::string& printed) {
  return Dump(Json{{"command", command_text},
                   {"code", outcome.code},
                   {"message", outcome.ok() ? printed : outcome.message}});
}

Outcome PrepareMqttCommand(const std::string& text, const SoftLimits& limits, Command* command) {
  if (text.size() > kMaxMqttCommandBytes) {
    return Usage("a command is at most " + std::to_string(kMaxMqttCommandBytes) + " bytes");
  }
  if (HasControlCharacter(text)) return Usage("a command holds no control characters");
  const std::vector<ScriptLine> lines = SplitScript(text);
  if (lines.size() != 1) return Usage("a message holds exactly one command");
  if (Outcome o = ParseScriptWords(lines[0].words, command); !o.ok()) return o;
  if (command->kind == CommandKind::Monitor || command->kind == CommandKind::Sleep) {
    return Usage(lines[0].words[0] +
                 " is not taken from the broker (the server publishes the live reports itself)");
  }
  if (Outcome o = PrepareCommand(command, false); !o.ok()) return o;
  return CheckLimits(*command, limits);
}
