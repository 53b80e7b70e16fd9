#include "link/instrument_commands.h"

#include <cstdio>
#include <cstring>

#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "output/output_types.h"

ReplyRecord reply_records[7];
InstrumentIdentity instrument_identity = {4, 0, "00000000"};
ClockFields clock_fields;
void (*show_live_report)(const char* value_text, int output_type, int mode) = nullptr;

namespace {
// Counts the clock replies that filled clock_fields, so that a reader can
// tell a fresh time from the one that was there before.
uint32_t clock_readings = 0;
}  // namespace

int ReplyIndex(uint8_t command) {
  switch (command) {
    case CMD_CONNECT:
      return 0;
    case CMD_DISCONNECT:
      return 1;
    case CMD_SET_CLOCK:
      return 2;
    case CMD_GET_CLOCK:
      return 3;
    case CMD_GET_VERSION:
      return 4;
    case CMD_GET_SERIAL:
      return 5;
    case CMD_GET_OUTPUT:
      return 6;
    default:
      return -1;
  }
}

ReplyRecord* FindReplyRecord(uint8_t command) {
  int index = ReplyIndex(command);
  return index < 0 ? nullptr : &reply_records[index];
}

void DispatchReply() {
  const ReceiverState& rx = receiver_state;
  ReplyRecord* record = FindReplyRecord(rx.command);
  if (record == nullptr) return;

  int32_t length = rx.length;
  if (length < 0) length = 0;
  if (length > kFrameBufferSize) length = kFrameBufferSize;
  record->status = rx.status;
  record->length = length;
  std::memcpy(record->data, rx.data, static_cast<size_t>(length));

  const uint8_t* d = record->data;
  bool ok = record->status == 0;
  switch (rx.command) {
    case CMD_GET_CLOCK:
      if (ok && length == 6) {
        clock_fields.year = d[0] + 100;
        clock_fields.month = d[1] - 1;
        clock_fields.day = d[2];
        clock_fields.hour = d[3];
        clock_fields.minute = d[4];
        clock_fields.second = d[5];
        ++clock_readings;
      }
      break;
    case CMD_GET_VERSION:
      if (ok && length == 6) {
        instrument_identity.device_code = d[0];
        instrument_identity.firmware_version = d[1] * 100 + d[2];
      }
      break;
    case CMD_GET_SERIAL:
      if (ok && length == 8) {
        std::memcpy(instrument_identity.serial_number, d, 8);
        instrument_identity.serial_number[8] = '\0';
      }
      break;
    case CMD_GET_OUTPUT:
      if (ok && length == 4) {
        int16_t code = static_cast<int16_t>(static_cast<uint16_t>(d[2] << 8 | d[3]));
        int type = d[1];
        int mode = d[0];
        char text[32];
        FormatOutputValue(code, type, text);
        if (show_live_report != nullptr) show_live_report(text, type, mode);
      }
      break;
    default:
      break;
  }
}

int IdentifyInstrument() {
  if (SendCommandAndWait(CMD_CONNECT, 0, nullptr) != 0) return -2;
  uint8_t connect_status = FindReplyRecord(CMD_CONNECT)->status;
  if (connect_status != 0 && connect_status != 5) return -2;
  if (SendCommandAndWait(CMD_GET_VERSION, 0, nullptr) != 0) return -3;
  if (FindReplyRecord(CMD_GET_VERSION)->status != 0) return -3;
  if (instrument_identity.device_code != 0 && instrument_identity.device_code != 2) return -4;
  if (SendCommandAndWait(CMD_GET_SERIAL, 0, nullptr) != 0) return -3;
  if (FindReplyRecord(CMD_GET_SERIAL)->status != 0) return -3;
  return 0;
}

int SetInstrumentClock() {
  if (link_platform.local_time != nullptr) link_platform.local_time(&clock_fields);
  uint8_t data[6] = {
      static_cast<uint8_t>(clock_fields.year - 100), static_cast<uint8_t>(clock_fields.month + 1),
      static_cast<uint8_t>(clock_fields.day),        static_cast<uint8_t>(clock_fields.hour),
      static_cast<uint8_t>(clock_fields.minute),     static_cast<uint8_t>(clock_fields.second),
  };
  return SendCommandAndWait(CMD_SET_CLOCK, sizeof data, data);
}

int GetInstrumentClock() {
  if (link_state.link_lost) return 1;
  const uint32_t before = clock_readings;
  if (SendCommandAndWait(CMD_GET_CLOCK, 0, nullptr) != 0) return 1;
  return clock_readings != before ? 0 : 1;
}

int SendSweepCommand(uint8_t output_type, uint16_t code_a, uint16_t code_b, uint16_t t1,
                     uint16_t t2) {
  uint8_t data[9] = {
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
  return SendCommandAndWait(CMD_START_SWEEP, sizeof data, data);
}

int SendOutputCommand(uint8_t output_type, uint16_t code) {
  const uint8_t data[3] = {output_type, static_cast<uint8_t>(code >> 8),
                           static_cast<uint8_t>(code & 0xFF)};
  return SendCommandAndWait(CMD_SET_OUTPUT, sizeof data, data);
}

int SendReplayCommand(uint8_t channel, uint16_t count) {
  const uint8_t data[3] = {channel, static_cast<uint8_t>(count >> 8),
                           static_cast<uint8_t>(count & 0xFF)};
  return SendCommandAndWait(CMD_START_REPLAY, sizeof data, data);
}

double FormatOutputValue(int16_t code, int output_type, char* destination) {
  double value =
      output_type < 0 ? 0.0 : DecodeOutputValue(static_cast<unsigned>(output_type), code);
  char text[30];
  const char* format = ValueFormat(output_type);
  if (format == nullptr) {
    std::snprintf(text, sizeof text, "-");
  } else {
    std::snprintf(text, sizeof text, format, value);
  }
  std::strcpy(destination, text);
  return value;
}

void ResetInstrumentRecords() {
  std::memset(reply_records, 0, sizeof reply_records);
  instrument_identity = InstrumentIdentity{4, 0, "00000000"};
  clock_fields = ClockFields{};
}
