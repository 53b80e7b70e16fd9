// The instrument's commands, the records its replies fill, and the
// sequences built from them.
#pragma once
#include <cstdint>

constexpr uint8_t CMD_CONNECT = 0x10;
constexpr uint8_t CMD_DISCONNECT = 0x11;
constexpr uint8_t CMD_SET_CLOCK = 0x40;
constexpr uint8_t CMD_GET_CLOCK = 0x41;
constexpr uint8_t CMD_GET_VERSION = 0x42;
constexpr uint8_t CMD_GET_SERIAL = 0x43;
constexpr uint8_t CMD_SET_OUTPUT = 0xC1;
constexpr uint8_t CMD_GET_OUTPUT = 0xC2;
constexpr uint8_t CMD_START_REPLAY = 0xC4;
constexpr uint8_t CMD_STOP_REPLAY = 0xC5;
constexpr uint8_t CMD_START_SWEEP = 0xC6;

struct ReplyRecord {
  uint8_t status;
  int32_t length;
  uint8_t data[1024];
};

struct InstrumentIdentity {
  int32_t device_code;
  int32_t firmware_version;  // major * 100 + minor
  char serial_number[9];
};

struct ClockFields {
  int32_t second;
  int32_t minute;
  int32_t hour;
  int32_t day;
  int32_t month;  // 0..11
  int32_t year;   // years since 1900
};

// Replies of the seven handled commands, indexed by ReplyIndex().
extern ReplyRecord reply_records[7];
int ReplyIndex(uint8_t command);                // -1 for unhandled commands
ReplyRecord* FindReplyRecord(uint8_t command);  // null for unhandled commands

extern InstrumentIdentity instrument_identity;
extern ClockFields clock_fields;

// The window shows live values through this; null until it registers.
extern void (*show_live_report)(const char* value_text, int output_type, int mode);

void DispatchReply();
int IdentifyInstrument();  // 0, -2, -3 or -4
int SetInstrumentClock();
// Asks for the instrument's clock: 0 when a good clock reply filled
// clock_fields, 1 when none came (time-out, an answer without a time, or
// nothing sent because the link is lost).
int GetInstrumentClock();
int SendSweepCommand(uint8_t output_type, uint16_t code_a, uint16_t code_b, uint16_t t1,
                     uint16_t t2);
int SendOutputCommand(uint8_t output_type, uint16_t code);  // CMD_SET_OUTPUT
int SendReplayCommand(uint8_t channel, uint16_t count);     // CMD_START_REPLAY; count 0: endless
double FormatOutputValue(int16_t code, int output_type, char* destination);  // >= 32 bytes

void ResetInstrumentRecords();
