#include "cli/command_checks.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <tuple>

#include "cli/time_texts.h"
#include "output/output_types.h"

namespace {

constexpr long kMinIntervalMs = 10;  // the link's poll step
constexpr long kMaxIntervalMs = 3600000;
constexpr long kMaxSleepMs = 86400000;
constexpr long kMaxMonitorCount = 1000000000L;

std::string Lower(const std::string& text) {
  std::string lower;
  for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool HasDigit(const std::string& text) {
  for (char c : text) {
    if (c >= '0' && c <= '9') return true;
  }
  return false;
}

Outcome Usage(std::string message) {
  return Failure(kExitUsage, std::move(message));
}

// A value as users type it: a number, maybe with the type's unit ("4.5mA").
// *plain is the number for the pages' own check. The pages read an empty
// box, "-" or "." as 0; here that is a missing value (an unset variable,
// say), never an order to output 0.
Outcome ValueInUnit(const std::string& label, const std::string& text, int type,
                    std::string* plain) {
  size_t end = text.size();
  while (end > 0 && std::isalpha(static_cast<unsigned char>(text[end - 1]))) --end;
  const std::string unit = Lower(text.substr(end));
  *plain = text;
  if (unit == "mv" || unit == "v" || unit == "ma") {
    if (unit != Lower(output_types[type].unit)) {
      return Usage(label + text + " is not in " + output_types[type].unit + ", the unit of type " +
                   std::to_string(type));
    }
    *plain = text.substr(0, end);
    if (!plain->empty() && plain->back() == ' ') plain->pop_back();  // "4.5 mA"
  }
  if (!HasDigit(*plain) && IsNumericText(plain->c_str())) {
    return Usage(label + "'" + text + "' is not a number");
  }
  if (IsNumericText(plain->c_str())) return {};
  // +5 and 1e1 are numbers too, though the pages do not take them; other
  // texts are left to the pages' check, which names them.
  char* stop = nullptr;
  const double value = std::strtod(plain->c_str(), &stop);
  if (*stop != '\0' || !std::isfinite(value) ||
      plain->find_first_not_of("0123456789+-.eE") != std::string::npos) {
    return {};
  }
  char fixed[400];
  std::snprintf(fixed, sizeof fixed, "%.17f", value);
  *plain = fixed;
  return {};
}

struct FieldName {
  std::string label;  // "--from ", or "" for VALUE
  const std::string* text;
};

FieldName NameOf(EntryField field, const Command& c) {
  switch (field) {
    case EntryField::OutputValue:
      return {"", &c.value_text};
    case EntryField::PointA:
      return {"--from ", &c.from_text};
    case EntryField::PointB:
      return {"--to ", &c.to_text};
    case EntryField::T1:
      return {"--t1 ", &c.t1_text};
    case EntryField::T2:
      return {"--t2 ", &c.t2_text};
    case EntryField::ReplayCount:
      return {"--count ", &c.count_text};
  }
  return {"", &c.value_text};
}

Outcome CheckType(Command* c) {
  c->output_type = OutputTypeFromText(c->type_text);
  if (c->output_type < 0) {
    return Usage("--type " + c->type_text + " is not an output type (0-3, mv, v, ma or ma-ext)");
  }
  return {};
}

Outcome FromProblem(const EntryProblem& problem, const Command& c) {
  if (problem.fault == EntryFault::None) return {};
  return Usage(DescribeEntryProblem(problem, c));
}

Outcome PrepareSet(Command* c) {
  if (Outcome o = CheckType(c); !o.ok()) return o;
  std::string value;
  if (Outcome o = ValueInUnit("", c->value_text, c->output_type, &value); !o.ok()) return o;
  return FromProblem(CheckOutputEntry(value.c_str(), c->output_type, &c->value), *c);
}

Outcome PrepareSweep(Command* c) {
  if (Outcome o = CheckType(c); !o.ok()) return o;
  std::string from;
  std::string to;
  if (Outcome o = ValueInUnit("--from ", c->from_text, c->output_type, &from); !o.ok()) return o;
  if (Outcome o = ValueInUnit("--to ", c->to_text, c->output_type, &to); !o.ok()) return o;
  long t1 = 0;
  long t2 = 0;
  for (const auto& [label, text, ms] :
       {std::tuple{"--t1 ", &c->t1_text, &t1}, std::tuple{"--t2 ", &c->t2_text, &t2}}) {
    if (!ParseDuration(*text, "", ms) || *ms % 10 != 0) {
      return Usage(std::string(label) + *text +
                   " is not a duration: a whole number of 10 ms with its unit, such as 250ms "
                   "or 5s");
    }
  }
  // The page's check, with the times in its unit of 10 ms.
  const std::string t1_units = std::to_string(t1 / 10);
  const std::string t2_units = std::to_string(t2 / 10);
  return FromProblem(
      CheckSweepEntries({from.c_str(), to.c_str(), t1_units.c_str(), t2_units.c_str()},
                        c->output_type, &c->sweep),
      *c);
}

Outcome PrepareReplay(Command* c) {
  if (c->stop) {
    if (!c->channel_text.empty() || !c->count_text.empty() || c->endless) {
      return Usage("replay --stop takes no --channel, --count or --endless");
    }
    return {};
  }
  const std::string channel = Lower(c->channel_text);
  if (channel.empty()) return Usage("replay needs --channel AI1..AI5 (or --stop)");
  if (channel.size() != 3 || channel.compare(0, 2, "ai") != 0 || channel[2] < '1' ||
      channel[2] > '5') {
    return Usage("--channel " + c->channel_text + " is not a channel (AI1 to AI5)");
  }
  c->channel = static_cast<uint8_t>(channel[2] - '1');
  if (c->endless == !c->count_text.empty()) {
    return Usage("replay needs exactly one of --count N and --endless");
  }
  if (!c->endless) {
    if (!HasDigit(c->count_text) && IsNumericText(c->count_text.c_str())) {
      return Usage("--count '" + c->count_text + "' is not a number");
    }
    // The page reads 12.5 as 12; a count given here is taken whole or not at all.
    if (c->count_text.find('.') != std::string::npos) {
      return Usage("--count " + c->count_text + " is not a whole number");
    }
  }
  uint32_t stored = 0;
  return FromProblem(CheckReplayCount(c->count_text.c_str(), c->endless, &stored, &c->replay_count),
                     *c);
}

Outcome PrepareClockSet(Command* c) {
  if (c->clock_text.empty()) return {};
  if (!ParseClockText(c->clock_text, &c->clock_time)) {
    return Usage(c->clock_text +
                 " is not a time of the instrument's clock: YYYY-MM-DDTHH:MM:SS, a real date "
                 "from 2000 to 2255");
  }
  c->has_clock_time = true;
  return {};
}

Outcome PrepareMonitor(Command* c, bool json) {
  MonitorOptions& m = c->monitor;
  if (c->csv && json) return Usage("--csv and --json exclude each other");
  if (!c->interval_text.empty()) {
    long interval = 0;
    if (!ParseDuration(c->interval_text, "ms", &interval) || interval < kMinIntervalMs ||
        interval > kMaxIntervalMs) {
      return Usage("--interval " + c->interval_text + " is not a duration from 10ms to 3600s");
    }
    m.interval_ms = static_cast<uint32_t>(interval);
  }
  if (!c->count_text.empty() &&
      (!ParseWholeNumber(c->count_text, &m.count) || m.count < 1 || m.count > kMaxMonitorCount)) {
    return Usage("--count " + c->count_text + " is not a number of records (1 or more)");
  }
  long duration = 0;
  if (!c->duration_text.empty()) {
    if (!ParseDuration(c->duration_text, "s", &duration) || duration <= 0) {
      return Usage("--duration " + c->duration_text + " is not a duration above 0");
    }
    m.duration_s = duration / 1000.0;
  }
  m.output_path = c->output_path == "-" ? "" : c->output_path;
  m.reconnect = c->reconnect;
  return {};
}

}  // namespace

int OutputTypeFromText(const std::string& text) {
  static const char* const kNames[kOutputTypeCount] = {"mv", "v", "ma", "ma-ext"};
  const std::string lower = Lower(text);
  for (int type = 0; type < kOutputTypeCount; ++type) {
    if (lower == kNames[type] || lower == std::to_string(type)) return type;
  }
  return -1;
}

std::string DescribeEntryProblem(const EntryProblem& problem, const Command& c) {
  const FieldName name = NameOf(problem.field, c);
  const std::string quoted = name.label + *name.text;
  switch (problem.fault) {
    case EntryFault::None:
      return "";
    case EntryFault::NotNumber:
      return quoted + " is not a number";
    case EntryFault::BothTimesZero:
      return "--t1 and --t2 are both 0: at least one of them must be longer";
    case EntryFault::OutOfRange:
      break;
  }
  std::string range = std::to_string(problem.min) + " to " + std::to_string(problem.max);
  if (problem.field == EntryField::T1 || problem.field == EntryField::T2) {
    // The page counts in 10 ms; the command line in seconds.
    range = std::to_string(problem.min / 100) + " to " + std::to_string(problem.max / 100) + " s";
  } else if (problem.output_type >= 0) {
    range +=
        std::string(" ") + problem.unit + " (type " + std::to_string(problem.output_type) + ")";
  }
  return quoted + " is outside " + range;
}

Outcome PrepareCommand(Command* c, bool json) {
  switch (c->kind) {
    case CommandKind::Set:
      return PrepareSet(c);
    case CommandKind::Off:
      if (c->type_text.empty()) return {};
      return CheckType(c);
    case CommandKind::Sweep:
      return PrepareSweep(c);
    case CommandKind::Replay:
    case CommandKind::ReplayStop:
      return PrepareReplay(c);
    case CommandKind::Clock:
      if (!c->clock_text.empty()) return Usage("clock TIME needs --set");
      return {};
    case CommandKind::ClockSet:
      return PrepareClockSet(c);
    case CommandKind::Monitor:
      return PrepareMonitor(c, json);
    case CommandKind::Get:
      if (c->csv && json) return Usage("--csv and --json exclude each other");
      return {};
    case CommandKind::Sleep: {
      long ms = 0;
      if (!ParseDuration(c->sleep_text, "ms", &ms) || ms > kMaxSleepMs) {
        return Usage("sleep " + c->sleep_text + " is not a duration from 0ms to 86400s");
      }
      c->sleep_ms = static_cast<uint32_t>(ms);
      return {};
    }
    case CommandKind::Identify:
    case CommandKind::ListPorts:
    case CommandKind::Run:
      return {};
  }
  return {};
}
