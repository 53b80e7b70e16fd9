// The simulated instrument: frames in, answers out, driven by a clock that
// the caller advances. No I/O here, so tests can run it without sockets.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_frame.h"

constexpr int kSimLinkCount = 2;  // 0: TCP client, 1: pty
constexpr int kSimMaxData = 1018;

// Per-command fault choices take a command code, or kAllCommands.
constexpr int kAllCommands = 256;

struct SimOptions {
  int device_code = 2;
  int firmware_major = 1;
  int firmware_minor = 5;
  std::string serial_number = "RS620042";  // exactly 8 characters on the wire
  bool silent = false;
  int64_t silent_after = -1;  // answer this many frames, then stay silent
  int64_t drop_after = -1;    // drop the link that brings the frame after this many
  // Read nothing for stall_ms: from the start, or with stall_after after
  // answering that many frames since the last connect command (0x10).
  uint32_t stall_ms = 0;
  int64_t stall_after = -1;
  uint32_t delay_ms = 0;
  int status_override[kAllCommands + 1];  // -1: the normal status
  bool short_reply[kAllCommands + 1];     // last data byte missing (no data: no checksum)
  bool long_reply[kAllCommands + 1];      // one extra data byte
  bool bad_checksum[kAllCommands + 1];    // checksum off by one
  SimOptions();
};

// A frame from the PC being put together.
struct SimFrameReader {
  int state;  // 0 hunting for 0xAA, 1..4 header bytes, 5 data, 6 checksum
  uint8_t header[5];
  int length;
  std::vector<uint8_t> data;
  uint8_t sum;
  uint64_t last_byte_ms;
};

struct SimAnswer {
  int link;
  uint64_t due_ms;
  std::vector<uint8_t> bytes;
};

struct InstrumentModel {
  SimOptions options;
  uint64_t now_ms;
  int64_t frames_received;
  int64_t frames_since_connect;
  // Instrument clock: seconds since 2000-01-01 00:00:00 at clock_set_ms.
  int64_t clock_seconds;
  uint64_t clock_set_ms;
  // Live output.
  int mode;  // 0 normal, 1 replay, 2 sweep
  int output_type;
  int16_t set_code;
  int16_t sweep_a, sweep_b;
  uint32_t sweep_t1, sweep_t2;  // units of 10 ms
  uint64_t started_ms;          // sweep or replay start
  int replay_channel;
  uint32_t replay_count;  // 0: endless
  SimFrameReader readers[kSimLinkCount];
  std::vector<SimAnswer> outbox;
  bool drop_requested[kSimLinkCount];
  uint64_t stall_until_ms[kSimLinkCount];  // the link is read again from then on
  std::vector<std::string> log;            // one line per frame, taken by the caller
};

// clock_seconds: the instrument's clock at start, seconds since 2000-01-01.
void InitModel(InstrumentModel* model, const SimOptions& options, int64_t clock_seconds);
void AdvanceModel(InstrumentModel* model, uint64_t now_ms);
void ModelReceive(InstrumentModel* model, int link, const uint8_t* bytes, int count);
// Appends the answers for the link that are due by now; true when any were.
bool TakeDueAnswers(InstrumentModel* model, int link, std::vector<uint8_t>* out);
uint64_t NextDueMs(const InstrumentModel* model);  // UINT64_MAX when nothing waits
void ForgetLink(InstrumentModel* model,
                int link);  // the link closed: drop its half frame and answers

int16_t LiveCode(const InstrumentModel* model);
int16_t ReplaySample(int channel, int output_type, uint32_t index);
constexpr uint32_t kReplayRecordLength = 500;  // samples at 10 ms: a 5 s log

// Calendar helpers (proleptic Gregorian, no time zones).
int64_t SecondsSince2000(int year, int month, int day, int hour, int minute, int second);
void CalendarFrom2000(int64_t seconds, int* year, int* month, int* day, int* hour, int* minute,
                      int* second);
