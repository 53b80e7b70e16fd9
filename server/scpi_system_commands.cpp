// SYSTem: the error queue, the version, the instrument's clock.
#include <cmath>
#include <cstdio>

#include "cli/time_texts.h"
#include "link/instrument_commands.h"
#include "server/scpi_commands.h"
#include "server/scpi_link.h"

namespace {

// The three numbers of a date or time, whole.
bool WholeTriple(ScpiContext* c, const ScpiCall& call, int out[3]) {
  for (int i = 0; i < 3; ++i) {
    const double n = call.values[i].number;
    if (n != std::floor(n) || std::fabs(n) > 1e6) {
      PushScpiError(c->errors, -222, PlainNumberText(n) + " is not a whole number");
      return false;
    }
    out[i] = static_cast<int>(n);
  }
  return true;
}

// Reads the instrument's clock, lets change alter it, and writes it back.
void ChangeClock(ScpiContext* c, const int numbers[3], bool date) {
  if (!RequireLink(c)) return;
  if (!ExchangeDone(c, CMD_GET_CLOCK, GetInstrumentClock(c->session))) return;
  ClockFields clock = c->session->clock_fields;
  if (date) {
    clock.year = numbers[0] - 1900;
    clock.month = numbers[1] - 1;
    clock.day = numbers[2];
  } else {
    clock.hour = numbers[0];
    clock.minute = numbers[1];
    clock.second = numbers[2];
  }
  // The client's check of a clock time: a real date from 2000 to 2255.
  ClockFields checked{};
  if (!ParseClockText(ClockText(clock), &checked)) {
    char text[64];
    std::snprintf(text, sizeof text, "%d,%d,%d", numbers[0], numbers[1], numbers[2]);
    PushScpiError(c->errors, -222,
                  std::string(text) + " is not a " + (date ? "date" : "time") +
                      " of the instrument's clock (2000-01-01 to 2255-12-31)");
    return;
  }
  ExchangeDone(c, CMD_SET_CLOCK, SetInstrumentClock(c->session, &checked));
}

void AnswerClock(ScpiContext* c, bool date) {
  if (!RequireLink(c) || !ExchangeDone(c, CMD_GET_CLOCK, GetInstrumentClock(c->session))) {
    AnswerUnavailable(c);
    return;
  }
  const ClockFields& clock = c->session->clock_fields;
  char text[64];
  if (date) {
    std::snprintf(text, sizeof text, "%d,%d,%d", static_cast<int>(clock.year + 1900),
                  static_cast<int>(clock.month + 1), static_cast<int>(clock.day));
  } else {
    std::snprintf(text, sizeof text, "%d,%d,%d", static_cast<int>(clock.hour),
                  static_cast<int>(clock.minute), static_cast<int>(clock.second));
  }
  c->replies.push_back(text);
}

}  // namespace

void QueryNextError(ScpiContext* c, const ScpiCall&) {
  c->replies.push_back(PopScpiError(c->errors));
}

void QueryErrorCount(ScpiContext* c, const ScpiCall&) {
  c->replies.push_back(std::to_string(c->errors->entries.size()));
}

void QueryVersion(ScpiContext* c, const ScpiCall&) {
  c->replies.push_back("1999.0");
}

void SetDate(ScpiContext* c, const ScpiCall& call) {
  int numbers[3];
  if (WholeTriple(c, call, numbers)) ChangeClock(c, numbers, true);
}

void QueryDate(ScpiContext* c, const ScpiCall&) {
  AnswerClock(c, true);
}

void SetTime(ScpiContext* c, const ScpiCall& call) {
  int numbers[3];
  if (WholeTriple(c, call, numbers)) ChangeClock(c, numbers, false);
}

void QueryTime(ScpiContext* c, const ScpiCall&) {
  AnswerClock(c, false);
}
