// Command/answer exchange and link supervision.
#pragma once
#include <cstdint>

struct LinkState {
  uint8_t pending[256];
  uint32_t last_frame_ms;  // link_platform.now_ms() of the last valid frame
  bool link_lost;
};

extern LinkState link_state;

struct ClockFields;

// What the exchange needs from the platform. Tests replace these to run the
// 2 s time-out and the link-loss time without waiting.
struct LinkPlatform {
  uint32_t (*now_ms)();  // elapsed milliseconds, any origin
  void (*sleep_ms)(uint32_t ms);
  void (*local_time)(ClockFields* out);
  void (*stop_poll_timer)();  // may be null
};
extern LinkPlatform link_platform;

constexpr uint32_t kCommandTimeoutMs = 2000;
// No valid frame for longer than this and the link is lost. Measured on the
// clock rather than by counting poll ticks, so a tick that comes late (a busy
// window, a stalled port) cannot stretch it.
constexpr uint32_t kLinkLostMs = 10000;

int SendCommandAndWait(uint8_t command, uint16_t length, const uint8_t* data);
void StartLinkWatch();  // when a link is up: its silence is counted from now
int PollLink();         // -1 on the poll the link is declared lost, else 0
void Disconnect();
void CloseTransport();  // the current transport, sending nothing; none is left installed

void ResetLinkState();
void UseDefaultLinkPlatform();  // also clears the timer hook
