// TYPE, VOLTage, CURRent and OUTPut: the normal page's output, in SCPI.
#include <cstdlib>

#include "cli/command_checks.h"
#include "link/instrument_commands.h"
#include "output/output_types.h"
#include "server/scpi_commands.h"
#include "server/scpi_link.h"

namespace {

const char* const kTypeNames[kOutputTypeCount] = {"MV", "V", "MA", "MAEXT"};

bool IsVoltageType(int type) {
  return type == 0 || type == 1;
}
bool IsCurrentType(int type) {
  return type == 2 || type == 3;
}

// V or A to the type's unit: mV, V, mA.
double ToTypeUnit(double value, int type) {
  return type == 1 ? value : value * 1000.0;
}

std::string TypeName(int type) {
  return type < 0 ? "none" : kTypeNames[type];
}

bool RequireType(ScpiContext* c, bool voltage) {
  const int type = c->settings->output_type;
  if (voltage ? IsVoltageType(type) : IsCurrentType(type)) return true;
  PushScpiError(
      c->errors, -221,
      std::string(voltage ? "VOLTage needs type MV or V" : "CURRent needs type MA or MAEXT") +
          ", the type is " + TypeName(type));
  return false;
}

// The normal page's range check and the server's limits, then 0xC1.
void SendLevel(ScpiContext* c, int type, double value) {
  Command check;
  check.kind = CommandKind::Set;
  check.value_text = PlainNumberText(value);
  check.type_text = std::to_string(type);
  if (Outcome outcome = PrepareCommand(&check, false); !outcome.ok()) {
    PushScpiError(c->errors, -222, outcome.message);
    return;
  }
  if (std::string refused = CheckSoftLimit(*c->limits, type, check.value); !refused.empty()) {
    PushScpiError(c->errors, -222, refused);
    return;
  }
  if (!RequireLink(c)) return;
  const uint16_t code = static_cast<uint16_t>(EncodeOutputValue(check.value, type));
  if (!ExchangeDone(c, CMD_SET_OUTPUT,
                    SendOutputCommand(c->session, static_cast<uint8_t>(type), code))) {
    return;
  }
  c->settings->has_level[type] = true;
  c->settings->level[type] = check.value;
}

void SetLevel(ScpiContext* c, const ScpiCall& call, bool voltage) {
  if (!RequireType(c, voltage)) return;
  const int type = c->settings->output_type;
  const ScpiValue& v = call.values[0];
  const double value = v.min   ? output_types[type].min
                       : v.max ? output_types[type].max
                               : ToTypeUnit(v.number, type);
  SendLevel(c, type, value);
}

void QueryLevel(ScpiContext* c, bool voltage) {
  LiveValues live{};
  if (!ReadLiveValues(c, &live)) {
    AnswerUnavailable(c);
    return;
  }
  if (voltage ? !IsVoltageType(live.output_type) : !IsCurrentType(live.output_type)) {
    PushScpiError(c->errors, -221,
                  "the instrument's output is of type " + (live.output_type < kOutputTypeCount
                                                               ? TypeName(live.output_type)
                                                               : std::to_string(live.output_type)));
    AnswerUnavailable(c);
    return;
  }
  const double value = DecodeOutputValue(static_cast<unsigned>(live.output_type), live.code);
  c->replies.push_back(ScpiNumberText(live.output_type == 1 ? value : value / 1000.0));
}

}  // namespace

void SetType(ScpiContext* c, const ScpiCall& call) {
  const std::string& word = call.values[0].word;
  for (int type = 0; type < kOutputTypeCount; ++type) {
    if (word == kTypeNames[type] || word == std::to_string(type)) {
      c->settings->output_type = type;
      return;
    }
  }
  PushScpiError(c->errors, -224, word + " is not an output type (MV, V, MA, MAEXT or 0-3)");
}

void QueryType(ScpiContext* c, const ScpiCall&) {
  c->replies.push_back(TypeName(c->settings->output_type));
}

void SetVoltage(ScpiContext* c, const ScpiCall& call) {
  SetLevel(c, call, true);
}

void QueryVoltage(ScpiContext* c, const ScpiCall&) {
  QueryLevel(c, true);
}

void SetCurrent(ScpiContext* c, const ScpiCall& call) {
  SetLevel(c, call, false);
}

void QueryCurrent(ScpiContext* c, const ScpiCall&) {
  QueryLevel(c, false);
}

void SetOutputState(ScpiContext* c, const ScpiCall& call) {
  const bool on = call.values[0].number != 0;
  const int type = c->settings->output_type;
  if (type < 0) {
    PushScpiError(c->errors, -221, "no output type is selected");
    return;
  }
  if (!on) {
    if (RequireLink(c)) {
      ExchangeDone(c, CMD_SET_OUTPUT, SendOutputCommand(c->session, static_cast<uint8_t>(type), 0));
    }
    return;
  }
  if (!c->settings->has_level[type]) {
    PushScpiError(c->errors, -221, "no level was set for type " + TypeName(type));
    return;
  }
  SendLevel(c, type, c->settings->level[type]);
}

void QueryOutputState(ScpiContext* c, const ScpiCall&) {
  LiveValues live{};
  if (!ReadLiveValues(c, &live)) {
    AnswerUnavailable(c);
    return;
  }
  c->replies.push_back(live.code != 0 ? "1" : "0");
}
