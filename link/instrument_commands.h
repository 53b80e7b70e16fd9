// The instrument's commands, what their replies fill in the session, and the
// sequences built from them.
#pragma once
#include <cstdint>

#include "link/link_session.h"

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

// Records a good frame's answer and fills what its reply carries.
void DispatchReply(LinkSession* session, const ReceivedFrame& frame);

// 0; -2 the connect command went unanswered or was refused; -3 the version
// or serial number could not be read; -4 the peer is another device.
int IdentifyInstrument(LinkSession* session);
// After -3 and -4 the instrument has accepted the connect command, so the
// link is ended with the disconnect command; otherwise it is only closed.
bool IdentifyCallsForDisconnect(int result);

// time null: the platform's local time. What was sent stays in clock_fields.
int SetInstrumentClock(LinkSession* session, const ClockFields* time);
// Asks for the instrument's clock: 0 when a good clock reply filled
// clock_fields, 1 when none came (time-out, an answer without a time), 2 when
// nothing was sent.
int GetInstrumentClock(LinkSession* session);
int SendSweepCommand(LinkSession* session, uint8_t output_type, uint16_t code_a, uint16_t code_b,
                     uint16_t t1, uint16_t t2);
int SendOutputCommand(LinkSession* session, uint8_t output_type, uint16_t code);  // CMD_SET_OUTPUT
// CMD_START_REPLAY; count 0: endless
int SendReplayCommand(LinkSession* session, uint8_t channel, uint16_t count);
