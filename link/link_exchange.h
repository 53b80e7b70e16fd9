// Command/answer exchange and link supervision.
#pragma once
#include <cstdint>

struct LinkState {
  uint8_t pending[256];
  uint32_t idle_polls;
  bool link_lost;
};

extern LinkState link_state;

struct ClockFields;

// What the exchange needs from the platform. Tests replace these to run the
// 2 s time-out and the link-loss count without waiting.
struct LinkPlatform {
  uint32_t (*now_ms)();  // elapsed milliseconds, any origin
  void (*sleep_ms)(uint32_t ms);
  void (*local_time)(ClockFields* out);
  void (*stop_poll_timer)();   // may be null
  void (*start_poll_timer)();  // may be null
};
extern LinkPlatform link_platform;

constexpr uint32_t kCommandTimeoutMs = 2000;
constexpr uint32_t kLinkLostTicks = 1000;

int SendCommandAndWait(uint8_t command, uint16_t length, const uint8_t* data);
int PollLink();  // -1 on the tick the link is declared lost, else 0
void Disconnect();
void CloseTransport();  // the current transport, sending nothing; none is left installed

void ResetLinkState();
void UseDefaultLinkPlatform();  // also clears the two timer hooks
