// What the SCPI commands ask of the instrument link, with the errors that
// its outcomes become.
#pragma once
#include <cstdint>

#include "server/scpi_commands.h"

// False, with -241 queued, while the link is down.
bool RequireLink(ScpiContext* c);

// The outcome of a command's exchange (SendCommandAndWait's result): true
// when the instrument answered with status 0; else -240 or -241 is queued.
bool ExchangeDone(ScpiContext* c, uint8_t command, int result);

struct LiveValues {
  int mode;  // 0 normal, 1 replay, 2 sweep
  int output_type;
  int16_t code;
};
// A fresh live report; false with the error queued.
bool ReadLiveValues(ScpiContext* c, LiveValues* live);

// A numeric query that could not be answered still gets a reply, the number
// that stands for none, so the client's replies stay in step.
void AnswerUnavailable(ScpiContext* c);
