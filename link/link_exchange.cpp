#include "link/link_exchange.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "link/instrument_commands.h"
#include "link/link_frame.h"

LinkState link_state;

namespace {

constexpr uint32_t kWaitStepMs = 10;

uint32_t SteadyNowMs() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void SleepMs(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void LocalTime(ClockFields* out) {
  std::time_t now = std::time(nullptr);
  // Only the user-interface thread asks, so the shared result of localtime is safe.
  const std::tm* local = std::localtime(&now);
  if (local == nullptr) return;
  out->second = local->tm_sec;
  out->minute = local->tm_min;
  out->hour = local->tm_hour;
  out->day = local->tm_mday;
  out->month = local->tm_mon;
  out->year = local->tm_year;
}

constexpr LinkPlatform kDefaultPlatform = {SteadyNowMs, SleepMs, LocalTime, nullptr};

}  // namespace

LinkPlatform link_platform = kDefaultPlatform;

int SendCommandAndWait(uint8_t command, uint16_t length, const uint8_t* data) {
  if (link_state.link_lost) return 0;
  link_state.pending[command] = 1;
  SendFrame(command, length, data);
  uint32_t start = link_platform.now_ms();
  for (;;) {
    // Unsigned difference: correct across a wrap of the millisecond clock.
    if (link_platform.now_ms() - start > kCommandTimeoutMs) return 1;
    link_platform.sleep_ms(kWaitStepMs);
    ParseReceived();
    if (link_state.pending[command] == 0) return 0;
  }
}

void StartLinkWatch() {
  link_state.last_frame_ms = link_platform.now_ms();
}

int PollLink() {
  ParseReceived();
  // Unsigned difference: correct across a wrap of the millisecond clock.
  if (link_state.link_lost || link_platform.now_ms() - link_state.last_frame_ms <= kLinkLostMs) {
    return 0;
  }
  // Reported once: a poll that slips in before the timer is stopped must not
  // raise a second alarm.
  link_state.link_lost = true;
  return -1;
}

void Disconnect() {
  if (link_platform.stop_poll_timer != nullptr) link_platform.stop_poll_timer();
  SendCommandAndWait(CMD_DISCONNECT, 0, nullptr);
  CloseTransport();
}

void CloseTransport() {
  // Uninstalled first, so nothing reaches a transport that is going away.
  const LinkTransport closing = current_transport;
  current_transport = LinkTransport{};
  if (closing.close != nullptr) closing.close(closing.context);
}

void ResetLinkState() {
  link_state = LinkState{};
}

void UseDefaultLinkPlatform() {
  link_platform = kDefaultPlatform;
}
