#include "link/instrument_commands.h"

#include <cstring>

#include "link/link_exchange.h"
#include "link/link_frame.h"

void DispatchReply(LinkSession* session, const ReceivedFrame& frame) {
  ReplyRecord& record = session->reply_records[frame.command];
  int32_t length = frame.length;
  if (length < 0) length = 0;
  if (length > kFrameBufferSize) length = kFrameBufferSize;
  record.start_byte = frame.start_byte;
  record.status = frame.status;
  record.length = length;
  std::memcpy(record.data, frame.data, static_cast<size_t>(length));
  if (frame.start_byte != kReplyStart || frame.status != 0) return;

  const uint8_t* d = record.data;
  switch (frame.command) {
    case CMD_GET_CLOCK:
      if (length == 6) {
        ClockFields& clock = session->clock_fields;
        clock.year = d[0] + 100;
        clock.month = d[1] - 1;
        clock.day = d[2];
        clock.hour = d[3];
        clock.minute = d[4];
        clock.second = d[5];
        ++session->clock_readings;
      }
      break;
    case CMD_GET_VERSION:
      if (length == 6) {
        session->instrument_identity.device_code = d[0];
        session->instrument_identity.firmware_version = d[1] * 100 + d[2];
      }
      break;
    case CMD_GET_SERIAL:
      if (length == 8) {
        std::memcpy(session->instrument_identity.serial_number, d, 8);
        session->instrument_identity.serial_number[8] = '\0';
      }
      break;
    case CMD_GET_OUTPUT:
      if (length == 4 && session->events.live_report != nullptr) {
        const int16_t code = static_cast<int16_t>(static_cast<uint16_t>(d[2] << 8 | d[3]));
        session->events.live_report(session->events.context, d[0], d[1], code);
      }
      break;
    default:
      break;
  }
}

namespace {

// The identification judges replies only: a bare acknowledgement passes, as
// it always has, and the data it lacks is caught by the identity's checks.
uint8_t ReplyStatus(const LinkSession* session, uint8_t command) {
  const ReplyRecord& record = session->reply_records[command];
  return record.start_byte == kReplyStart ? record.status : 0;
}

}  // namespace

int IdentifyInstrument(LinkSession* session) {
  if (SendCommandAndWait(session, CMD_CONNECT, 0, nullptr) != 0) return -2;
  const uint8_t connect_status = ReplyStatus(session, CMD_CONNECT);
  if (connect_status != 0 && connect_status != 5) return -2;
  if (SendCommandAndWait(session, CMD_GET_VERSION, 0, nullptr) != 0) return -3;
  if (ReplyStatus(session, CMD_GET_VERSION) != 0) return -3;
  const int32_t device_code = session->instrument_identity.device_code;
  if (device_code != 0 && device_code != 2) return -4;
  if (SendCommandAndWait(session, CMD_GET_SERIAL, 0, nullptr) != 0) return -3;
  if (ReplyStatus(session, CMD_GET_SERIAL) != 0) return -3;
  return 0;
}

bool IdentifyCallsForDisconnect(int result) {
  return result == -3 || result == -4;
}

int SetInstrumentClock(LinkSession* session, const ClockFields* time) {
  ClockFields& clock = session->clock_fields;
  if (time != nullptr) {
    clock = *time;
  } else if (session->platform.local_time != nullptr) {
    session->platform.local_time(&clock);
  }
  const uint8_t data[6] = {
      static_cast<uint8_t>(clock.year - 100), static_cast<uint8_t>(clock.month + 1),
      static_cast<uint8_t>(clock.day),        static_cast<uint8_t>(clock.hour),
      static_cast<uint8_t>(clock.minute),     static_cast<uint8_t>(clock.second),
  };
  return SendCommandAndWait(session, CMD_SET_CLOCK, sizeof data, data);
}

int GetInstrumentClock(LinkSession* session) {
  const uint32_t before = session->clock_readings;
  const int result = SendCommandAndWait(session, CMD_GET_CLOCK, 0, nullptr);
  if (result != 0) return result;
  return session->clock_readings != before ? 0 : 1;
}

int SendSweepCommand(LinkSession* session, uint8_t output_type, uint16_t code_a, uint16_t code_b,
                     uint16_t t1, uint16_t t2) {
  const uint8_t data[9] = {
      output_type,
      static_cast<uint8_t>(code_a >> 8),
      static_cast<uint8_t>(code_a),
      static_cast<uint8_t>(code_b >> 8),
      static_cast<uint8_t>(code_b),
      static_cast<uint8_t>(t1 >> 8),
      static_cast<uint8_t>(t1),
      static_cast<uint8_t>(t2 >> 8),
      static_cast<uint8_t>(t2),
  };
  return SendCommandAndWait(session, CMD_START_SWEEP, sizeof data, data);
}

int SendOutputCommand(LinkSession* session, uint8_t output_type, uint16_t code) {
  const uint8_t data[3] = {output_type, static_cast<uint8_t>(code >> 8),
                           static_cast<uint8_t>(code & 0xFF)};
  return SendCommandAndWait(session, CMD_SET_OUTPUT, sizeof data, data);
}

int SendReplayCommand(LinkSession* session, uint8_t channel, uint16_t count) {
  const uint8_t data[3] = {channel, static_cast<uint8_t>(count >> 8),
                           static_cast<uint8_t>(count & 0xFF)};
  return SendCommandAndWait(session, CMD_START_REPLAY, sizeof data, data);
}
