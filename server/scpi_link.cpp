#include "server/scpi_link.h"

#include "link/instrument_commands.h"
#include "link/link_exchange.h"

bool RequireLink(ScpiContext* c) {
  if (c->link_up) return true;
  PushScpiError(c->errors, -241, "the instrument link is down");
  return false;
}

bool ExchangeDone(ScpiContext* c, uint8_t command, int result) {
  if (result == 2 || c->session->link_state.link_lost) {
    PushScpiError(c->errors, -241, "the instrument link is down");
    return false;
  }
  if (result != 0) {
    PushScpiError(c->errors, -240, "the instrument did not answer within 2 s");
    return false;
  }
  const ReplyRecord& record = c->session->reply_records[command];
  if (record.status != 0) {
    PushScpiError(c->errors, -240,
                  "the instrument answered with status " + std::to_string(record.status));
    return false;
  }
  return true;
}

bool ReadLiveValues(ScpiContext* c, LiveValues* live) {
  if (!RequireLink(c)) return false;
  const int result = SendCommandAndWait(c->session, CMD_GET_OUTPUT, 0, nullptr);
  if (!ExchangeDone(c, CMD_GET_OUTPUT, result)) return false;
  const ReplyRecord& record = c->session->reply_records[CMD_GET_OUTPUT];
  if (record.start_byte != kReplyStart || record.length != 4) {
    PushScpiError(c->errors, -240, "the live report carried no value");
    return false;
  }
  live->mode = record.data[0];
  live->output_type = record.data[1];
  live->code = static_cast<int16_t>(static_cast<uint16_t>(record.data[2] << 8 | record.data[3]));
  return true;
}

void AnswerUnavailable(ScpiContext* c) {
  c->replies.push_back(ScpiNumberText(kScpiNotANumber));
}
