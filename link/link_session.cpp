#include "link/link_session.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace {

uint32_t SteadyNowMs() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void WaitForInput(LinkSession* session, uint32_t ms) {
  const LinkTransport& transport = session->transport;
  if (transport.wait_input != nullptr) {
    transport.wait_input(transport.context, ms);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

void LocalTime(ClockFields* out) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &now) != 0) return;
#else
  if (localtime_r(&now, &local) == nullptr) return;
#endif
  out->second = local.tm_sec;
  out->minute = local.tm_min;
  out->hour = local.tm_hour;
  out->day = local.tm_mday;
  out->month = local.tm_mon;
  out->year = local.tm_year;
}

constexpr InstrumentIdentity kNoIdentity = {4, 0, "00000000"};

}  // namespace

namespace {

// Field by field: a whole LinkSession is too large for a temporary on a stack.
void ResetRecords(LinkSession* session) {
  // Nothing of an earlier connection may pass for this one's: a frame cut off
  // on the last link, its answers, or the last instrument's identity.
  session->receiver_state = ReceiverState{};
  session->link_state = LinkState{};
  for (ReplyRecord& record : session->reply_records) record = ReplyRecord{};
  session->instrument_identity = kNoIdentity;
  session->clock_fields = ClockFields{};
  session->clock_readings = 0;
}

}  // namespace

void InitLinkSession(LinkSession* session) {
  session->transport = LinkTransport{};
  session->platform = {SteadyNowMs, WaitForInput, LocalTime};
  session->events = LinkEvents{};
  ResetRecords(session);
}

void InstallTransport(LinkSession* session, const LinkTransport& transport) {
  session->transport = transport;
  ResetRecords(session);
}

void CloseTransport(LinkSession* session) {
  // Taken away first, so nothing reaches a transport that is going away.
  const LinkTransport closing = session->transport;
  session->transport = LinkTransport{};
  if (closing.close != nullptr) closing.close(closing.context);
}
