// One connection to an instrument: its transport, its parser, the exchange's
// state, the records its replies fill, and the front end's hooks. Every link
// operation takes the session it works on; nothing of a link lives elsewhere.
#pragma once
#include <cstdint>
#include <string>

#include "link/link_frame.h"

struct LinkSession;

// The open byte pipe, as the frame layer sees it.
struct LinkTransport {
  // At most kMaxDrain bytes: the count, 0 when none has come, -1 once the
  // pipe has ended (peer closed, device gone) and nothing more can arrive.
  int (*drain)(void* context, uint8_t* destination);
  // 0 when every byte was taken, -1 when the write failed or was refused.
  int (*write)(void* context, const uint8_t* bytes, int count);
  // Also frees the context.
  void (*close)(void* context);
  // Returns once bytes may be there or ms have passed. May be null.
  void (*wait_input)(void* context, uint32_t ms);
  void* context;
};

struct ClockFields {
  int32_t second;
  int32_t minute;
  int32_t hour;
  int32_t day;
  int32_t month;  // 0..11
  int32_t year;   // years since 1900
};

// Time for the exchange. Tests replace these to run the 2 s time-out and the
// link-loss time without waiting.
struct LinkPlatform {
  uint32_t (*now_ms)();                                 // elapsed milliseconds, any origin
  void (*sleep_ms)(LinkSession* session, uint32_t ms);  // default: the transport's wait_input
  void (*local_time)(ClockFields* out);
};

// What the front end hears of its link. Every member may be null.
struct LinkEvents {
  // Each frame written, and each received frame that reached its checksum
  // byte (good or not), before it is handled.
  void (*frame)(void* context, bool outgoing, const uint8_t* frame, int count, bool checksum_good);
  // Each good live report.
  void (*live_report)(void* context, int mode, int output_type, int16_t code);
  // Asked on each step of a command's wait: true ends the wait at once.
  bool (*cancelled)(void* context);
  // Just before Disconnect sends its command (the window stops its poll timer).
  void (*disconnecting)(void* context);
  // On a transport's own reader thread, each time it stored bytes, so the
  // front end can parse them at once instead of at its next poll.
  void (*bytes_arrived)(void* context);
  void* context;
};

struct LinkState {
  uint8_t pending[256];
  uint32_t last_frame_ms;  // platform.now_ms() of the last valid frame
  bool link_lost;
  bool transport_ended;  // the drain reported the end of the pipe
};

// The last good answer to each command code; start_byte 0 until one came
// since the command was last sent.
struct ReplyRecord {
  uint8_t start_byte;
  uint8_t status;
  int32_t length;
  uint8_t data[kFrameBufferSize];
};

struct InstrumentIdentity {
  int32_t device_code;
  int32_t firmware_version;  // major * 100 + minor
  char serial_number[9];
};

struct LinkSession {
  LinkTransport transport;
  LinkPlatform platform;
  LinkEvents events;
  ReceiverState receiver_state;
  LinkState link_state;
  ReplyRecord reply_records[256];
  InstrumentIdentity instrument_identity;
  ClockFields clock_fields;
  uint32_t clock_readings;  // clock replies that filled clock_fields
};

// A session with the default platform, no transport and every record at its
// start value. Large: allocate it, do not put it on a stack.
void InitLinkSession(LinkSession* session);

// Makes transport the session's, with the parser, the exchange's state, the
// reply records and the identity at their start values; platform and events
// stay.
void InstallTransport(LinkSession* session, const LinkTransport& transport);
// Closes the transport, sending nothing; the session is left without one.
void CloseTransport(LinkSession* session);
