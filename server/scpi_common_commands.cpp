// The IEEE 488.2 common commands.
#include <cstdio>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "server/scpi_commands.h"
#include "server/scpi_link.h"

void RunIdentify(ScpiContext* c, const ScpiCall&) {
  const ScpiSettings& s = *c->settings;
  char text[64];
  std::snprintf(text, sizeof text, "RV-SOLA62,%d,%s,%d.%02d", s.device_code,
                s.serial_number.c_str(), s.firmware_version / 100, s.firmware_version % 100);
  c->replies.push_back(text);
}

void RunReset(ScpiContext* c, const ScpiCall&) {
  if (!RequireLink(c)) return;
  const int stopped = SendCommandAndWait(c->session, CMD_STOP_REPLAY, 0, nullptr);
  if (!ExchangeDone(c, CMD_STOP_REPLAY, stopped)) return;
  const int type = c->settings->output_type;
  if (type < 0) return;
  ExchangeDone(c, CMD_SET_OUTPUT, SendOutputCommand(c->session, static_cast<uint8_t>(type), 0));
}

void RunClearStatus(ScpiContext* c, const ScpiCall&) {
  ClearScpiStatus(c->errors);
}

void RunOperationComplete(ScpiContext* c, const ScpiCall&) {
  // Every command has finished when the next one runs.
  c->errors->event_status |= kEsrOperationComplete;
}

void QueryOperationComplete(ScpiContext* c, const ScpiCall&) {
  c->replies.push_back("1");
}

void RunWait(ScpiContext*, const ScpiCall&) {}

void QueryEventStatus(ScpiContext* c, const ScpiCall&) {
  c->replies.push_back(std::to_string(c->errors->event_status));
  c->errors->event_status = 0;
}

void QueryStatusByte(ScpiContext* c, const ScpiCall&) {
  // Bit 2: the error queue holds an entry.
  c->replies.push_back(c->errors->entries.empty() ? "0" : "4");
}

void QuerySelfTest(ScpiContext* c, const ScpiCall&) {
  c->replies.push_back("0");
}
