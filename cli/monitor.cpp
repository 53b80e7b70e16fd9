#include "cli/monitor.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "cli/cli_platform.h"
#include "cli/session.h"
#include "cli/time_texts.h"
#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollStep = std::chrono::milliseconds(10);
constexpr auto kRetryPeriod = std::chrono::seconds(1);

struct MonitorRun {
  LineSink* out;
  OutputFormat format;
  long limit;  // 0: none
  long written;
};

bool LimitReached(const MonitorRun& run) {
  return run.limit > 0 && run.written >= run.limit;
}

// The reports that the last polls brought, up to the limit.
void WriteRecords(MonitorRun* run, ClientSession* client) {
  for (const LiveRecord& record : client->live_records) {
    if (LimitReached(*run)) break;
    WriteLine(run->out, RecordLine(record, run->format, "monitor"));
    ++run->written;
  }
  client->live_records.clear();
}

void Event(const MonitorRun& run, const char* event, const std::string& reason = "") {
  const std::string time = LocalTimestampNow();
  if (run.format == OutputFormat::Json) {
    WriteLine(run.out, EventLine(time, event, reason, true));
  } else {
    std::fprintf(stderr, "%s\n", EventLine(time, event, reason, false).c_str());
    std::fflush(stderr);
  }
}

// The first slot of the schedule start + k * period that lies after now.
Clock::time_point NextSlot(Clock::time_point start, Clock::duration period, Clock::time_point now) {
  return start + ((now - start) / period + 1) * period;
}

// Tries a new connection about every second until one works (true), or until
// a signal or the end of the duration (false). Why an attempt failed is told
// once for each new reason.
bool Reconnect(const MonitorRun& run, ClientSession* client, const LinkAddress& address,
               Clock::time_point end) {
  Clock::time_point attempt = Clock::now() + kRetryPeriod;
  std::string last_reason;
  for (;;) {
    while (Clock::now() < attempt) {
      if (Interrupted() || Clock::now() >= end) return false;
      std::this_thread::sleep_for(kPollStep);
    }
    const Outcome opened = OpenSession(client, address);
    if (opened.ok()) return true;
    if (opened.message != last_reason) Event(run, "reconnect_failed", opened.message);
    last_reason = opened.message;
    attempt = std::max(attempt + kRetryPeriod, Clock::now());
  }
}

}  // namespace

Outcome RunMonitor(ClientSession* client, const MonitorOptions& options, const LinkAddress& address,
                   OutputFormat format, LineSink* out) {
  MonitorRun run = {out, format, options.count, 0};
  const Clock::duration interval = std::chrono::milliseconds(options.interval_ms);
  const Clock::time_point start = Clock::now();
  const Clock::time_point end = options.duration_s > 0
                                    ? start + std::chrono::duration_cast<Clock::duration>(
                                                  std::chrono::duration<double>(options.duration_s))
                                    : Clock::time_point::max();
  Clock::time_point next_sample = start;

  client->live_records.clear();
  Outcome result;
  // A failed write ends it too; the caller tells why.
  while (!Interrupted() && !LimitReached(run) && Clock::now() < end && out->error == 0) {
    LinkSession* session = client->link.get();
    if (Clock::now() >= next_sample) {
      // As the window's live-value timer: no wait for the reply, which the
      // polls below pick up.
      if (!session->link_state.link_lost) SendFrame(session, CMD_GET_OUTPUT, 0, nullptr);
      next_sample = NextSlot(start, interval, Clock::now());
    }
    // Ticks skip what a slow moment missed, as the window's timer does.
    std::this_thread::sleep_until(std::min(NextSlot(start, kPollStep, Clock::now()), end));
    const int poll = PollLink(session);
    WriteRecords(&run, client);
    // The end of the transport is a loss at once, without the 10 s of silence.
    const bool ended = session->link_state.transport_ended;
    if (poll == 0 && !ended) continue;

    const std::string reason =
        ended ? TransportEndReason(client) : "no valid frame for more than 10 s";
    Event(run, "link_lost", reason);
    DropSession(client);
    if (!options.reconnect) {
      result = Failure(kExitLinkLost, "the link was lost: " + reason);
      break;
    }
    if (!Reconnect(run, client, address, end)) break;
    Event(run, "reconnected");
    next_sample = NextSlot(start, interval, Clock::now());
  }
  return result;
}
