#include "link/link_exchange.h"

#include "link/instrument_commands.h"
#include "link/link_frame.h"
#include "link/link_session.h"

namespace {
constexpr uint32_t kWaitStepMs = 10;
}  // namespace

int SendCommandAndWait(LinkSession* session, uint8_t command, uint16_t length,
                       const uint8_t* data) {
  LinkState& state = session->link_state;
  if (state.link_lost) return 2;
  session->reply_records[command] = ReplyRecord{};
  state.pending[command] = 1;
  if (SendFrame(session, command, length, data) != 0) {
    state.pending[command] = 0;
    return 2;
  }
  const LinkPlatform& platform = session->platform;
  const LinkEvents& events = session->events;
  const uint32_t start = platform.now_ms();
  for (;;) {
    // Unsigned difference: correct across a wrap of the millisecond clock.
    if (platform.now_ms() - start > kCommandTimeoutMs) return 1;
    if (events.cancelled != nullptr && events.cancelled(events.context)) return 1;
    platform.sleep_ms(session, kWaitStepMs);
    ParseReceived(session);
    if (state.pending[command] == 0) return 0;
    if (state.transport_ended) return 1;
  }
}

void StartLinkWatch(LinkSession* session) {
  session->link_state.last_frame_ms = session->platform.now_ms();
}

int PollLink(LinkSession* session) {
  ParseReceived(session);
  LinkState& state = session->link_state;
  // Unsigned difference: correct across a wrap of the millisecond clock.
  if (state.link_lost || session->platform.now_ms() - state.last_frame_ms <= kLinkLostMs) return 0;
  // Reported once: a poll that slips in before the timer is stopped must not
  // raise a second alarm.
  state.link_lost = true;
  return -1;
}

void Disconnect(LinkSession* session) {
  const LinkEvents& events = session->events;
  if (events.disconnecting != nullptr) events.disconnecting(events.context);
  SendCommandAndWait(session, CMD_DISCONNECT, 0, nullptr);
  CloseTransport(session);
}
