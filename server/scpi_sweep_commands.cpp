// SWEep and INITiate: the sweep page's four entries and its start, in SCPI.
#include <cmath>

#include "cli/command_checks.h"
#include "link/instrument_commands.h"
#include "output/entry_checks.h"
#include "output/output_types.h"
#include "server/scpi_commands.h"
#include "server/scpi_link.h"

namespace {

constexpr double kMaxSweepSeconds = kMaxSweepTime / 100.0;

// A point in the type's unit; false when its suffix names the other kind.
bool PointValue(const ScpiValue& point, int type, double* value) {
  const bool voltage = type == 0 || type == 1;
  if (point.family == (voltage ? ScpiUnitFamily::Ampere : ScpiUnitFamily::Volt)) return false;
  *value = point.min   ? output_types[type].min
           : point.max ? output_types[type].max
           : type == 1 ? point.number
                       : point.number * 1000.0;
  return true;
}

void AnswerPoint(ScpiContext* c, const ScpiValue& point) {
  const int type = c->settings->output_type;
  double value = point.number;
  if ((point.min || point.max) && type >= 0) {
    PointValue(point, type, &value);
    if (type != 1) value /= 1000.0;
  }
  c->replies.push_back(ScpiNumberText(value));
}

// Whole 10 ms up to the sweep page's 600 s.
void SetSweepTime(ScpiContext* c, const ScpiCall& call, double* stored) {
  const double seconds = call.values[0].number;
  const double units = seconds * 100.0;
  if (seconds < 0 || seconds > kMaxSweepSeconds) {
    PushScpiError(c->errors, -222, PlainNumberText(seconds) + " s is outside 0 to 600 s");
  } else if (std::fabs(units - std::round(units)) > 1e-6) {
    PushScpiError(c->errors, -222, PlainNumberText(seconds) + " s is not a whole number of 10 ms");
  } else {
    *stored = seconds;
  }
}

// The client's words for a problem of the sweep's points, with the point's
// SCPI name in place of the option's.
std::string PointProblem(const EntryProblem& problem, const std::string& text, const char* name) {
  EntryProblem as_value = problem;
  as_value.field = EntryField::OutputValue;
  Command named;
  named.value_text = text;
  return std::string(name) + " " + DescribeEntryProblem(as_value, named);
}

}  // namespace

void SetSweepStart(ScpiContext* c, const ScpiCall& call) {
  c->settings->sweep_start = call.values[0];
}

void QuerySweepStart(ScpiContext* c, const ScpiCall&) {
  AnswerPoint(c, c->settings->sweep_start);
}

void SetSweepStop(ScpiContext* c, const ScpiCall& call) {
  c->settings->sweep_stop = call.values[0];
}

void QuerySweepStop(ScpiContext* c, const ScpiCall&) {
  AnswerPoint(c, c->settings->sweep_stop);
}

void SetRiseTime(ScpiContext* c, const ScpiCall& call) {
  SetSweepTime(c, call, &c->settings->rise_s);
}

void QueryRiseTime(ScpiContext* c, const ScpiCall&) {
  c->replies.push_back(ScpiNumberText(c->settings->rise_s));
}

void SetFallTime(ScpiContext* c, const ScpiCall& call) {
  SetSweepTime(c, call, &c->settings->fall_s);
}

void QueryFallTime(ScpiContext* c, const ScpiCall&) {
  c->replies.push_back(ScpiNumberText(c->settings->fall_s));
}

void RunInitiate(ScpiContext* c, const ScpiCall&) {
  const ScpiSettings& s = *c->settings;
  const int type = s.output_type;
  double a = 0.0;
  double b = 0.0;
  if (type < 0 || !PointValue(s.sweep_start, type, &a) || !PointValue(s.sweep_stop, type, &b)) {
    PushScpiError(c->errors, -221, "the sweep's points do not fit the output type");
    return;
  }
  const std::string a_text = PlainNumberText(a);
  const std::string b_text = PlainNumberText(b);
  const std::string t1_text = std::to_string(std::lround(s.rise_s * 100.0));
  const std::string t2_text = std::to_string(std::lround(s.fall_s * 100.0));
  SweepSettings sweep{};
  const EntryProblem problem = CheckSweepEntries(
      {a_text.c_str(), b_text.c_str(), t1_text.c_str(), t2_text.c_str()}, type, &sweep);
  if (problem.fault == EntryFault::BothTimesZero) {
    PushScpiError(c->errors, -221, "RISE and FALL are both 0: at least one must be longer");
    return;
  }
  if (problem.fault != EntryFault::None) {
    const bool start = problem.field == EntryField::PointA;
    PushScpiError(c->errors, -222,
                  PointProblem(problem, start ? a_text : b_text, start ? "STARt" : "STOP"));
    return;
  }
  for (double point : {sweep.a, sweep.b}) {
    if (std::string refused = CheckSoftLimit(*c->limits, type, point); !refused.empty()) {
      PushScpiError(c->errors, -222, refused);
      return;
    }
  }
  if (!RequireLink(c)) return;
  ExchangeDone(c, CMD_START_SWEEP,
               SendSweepCommand(c->session, static_cast<uint8_t>(type),
                                static_cast<uint16_t>(EncodeOutputValue(sweep.a, type)),
                                static_cast<uint16_t>(EncodeOutputValue(sweep.b, type)),
                                static_cast<uint16_t>(sweep.t1), static_cast<uint16_t>(sweep.t2)));
}
