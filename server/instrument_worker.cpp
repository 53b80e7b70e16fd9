#include "server/instrument_worker.h"

#include <asio.hpp>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/transports.h"
#include "server/server_log.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kKeepAlivePeriod = std::chrono::milliseconds(500);
constexpr auto kRetryPeriod = std::chrono::seconds(1);

}  // namespace

struct InstrumentWorker {
  LinkAddress address;
  bool verbose = false;
  std::unique_ptr<LinkSession> session = std::make_unique<LinkSession>();
  asio::io_context io;
  asio::executor_work_guard<asio::io_context::executor_type> work = asio::make_work_guard(io);
  asio::steady_timer keep_alive{io};
  asio::steady_timer retry{io};
  std::thread thread;
  std::vector<WorkerObserver> observers;
  bool link_up = false;
  Clock::time_point last_live_report{};
  std::string last_failure;
  std::atomic<bool> stopping{false};
};

namespace {

void TryConnect(InstrumentWorker* w);
void KeepAlive(InstrumentWorker* w);

void OnFrame(void* context, bool outgoing, const uint8_t* frame, int count, bool good) {
  if (static_cast<InstrumentWorker*>(context)->verbose) LogFrame(outgoing, frame, count, good);
}

void OnLiveReport(void* context, int mode, int output_type, int16_t code) {
  auto* w = static_cast<InstrumentWorker*>(context);
  const LiveReport report{mode, output_type, code, Clock::now()};
  w->last_live_report = report.received;
  for (const WorkerObserver& observer : w->observers) {
    if (observer.live_report) observer.live_report(report);
  }
}

bool OnCancelled(void* context) {
  return static_cast<InstrumentWorker*>(context)->stopping.load();
}

void TellObservers(InstrumentWorker* w) {
  for (const WorkerObserver& observer : w->observers) {
    if (observer.link_changed) observer.link_changed(w->link_up, w->session->instrument_identity);
  }
}

void RetryLater(InstrumentWorker* w, const std::string& reason) {
  // Said once, not every second while it lasts.
  if (reason != w->last_failure) LogLine("cannot connect: " + reason + "; trying every second");
  w->last_failure = reason;
  w->retry.expires_after(kRetryPeriod);
  w->retry.async_wait([w](const std::error_code& error) {
    if (!error) TryConnect(w);
  });
}

std::string IdentifyFailure(int result, const LinkSession& session) {
  switch (result) {
    case -2:
      return "the connect command (0x10) was not answered or was refused";
    case -3:
      return "the version (0x42) or serial number (0x43) could not be read";
    default:
      return "not the instrument: device code " +
             std::to_string(session.instrument_identity.device_code);
  }
}

void TryConnect(InstrumentWorker* w) {
  if (w->stopping) return;
  LinkSession* session = w->session.get();
  std::string reason;
  if (OpenLink(session, w->address, &reason) != 0) {
    RetryLater(w, reason);
    return;
  }
  if (const int result = IdentifyInstrument(session); result != 0) {
    if (IdentifyCallsForDisconnect(result)) {
      Disconnect(session);
    } else {
      CloseTransport(session);
    }
    RetryLater(w, IdentifyFailure(result, *session));
    return;
  }
  StartLinkWatch(session);
  w->link_up = true;
  w->last_failure.clear();
  const InstrumentIdentity& identity = session->instrument_identity;
  char firmware[16];
  std::snprintf(firmware, sizeof firmware, "%d.%02d", identity.firmware_version / 100,
                identity.firmware_version % 100);
  LogLine(std::string("connected ") + identity.serial_number + " " + firmware);
  TellObservers(w);
  KeepAlive(w);
}

// The loss rule is the window's, but a pipe that has ended is lost at once.
void CheckLink(InstrumentWorker* w) {
  if (!w->link_up) return;
  LinkSession* session = w->session.get();
  if (PollLink(session) != -1 && !session->link_state.transport_ended) return;
  LogLine("link lost");
  CloseTransport(session);
  w->link_up = false;
  w->keep_alive.cancel();
  TellObservers(w);
  RetryLater(w, "the link was lost");
}

void KeepAlive(InstrumentWorker* w) {
  if (!w->link_up || w->stopping) return;
  // A client's request a moment ago kept the link alive already.
  if (Clock::now() - w->last_live_report >= kKeepAlivePeriod - std::chrono::milliseconds(50)) {
    SendCommandAndWait(w->session.get(), CMD_GET_OUTPUT, 0, nullptr);
  }
  CheckLink(w);
  if (!w->link_up) return;
  w->keep_alive.expires_after(kKeepAlivePeriod);
  w->keep_alive.async_wait([w](const std::error_code& error) {
    if (!error) KeepAlive(w);
  });
}

}  // namespace

InstrumentWorker* CreateInstrumentWorker(const LinkAddress& address, bool verbose) {
  auto* w = new InstrumentWorker;
  w->address = address;
  w->verbose = verbose;
  InitLinkSession(w->session.get());
  LinkEvents& events = w->session->events;
  events.frame = OnFrame;
  events.live_report = OnLiveReport;
  events.cancelled = OnCancelled;
  events.context = w;
  return w;
}

void AddWorkerObserver(InstrumentWorker* worker, WorkerObserver observer) {
  worker->observers.push_back(std::move(observer));
}

void StartInstrumentWorker(InstrumentWorker* worker) {
  asio::post(worker->io, [worker] { TryConnect(worker); });
  worker->thread = std::thread([worker] { worker->io.run(); });
}

void PostLinkJob(InstrumentWorker* worker,
                 std::function<void(LinkSession* session, bool link_up)> job) {
  asio::post(worker->io, [worker, job = std::move(job)] {
    if (worker->stopping) return;
    job(worker->session.get(), worker->link_up);
    CheckLink(worker);
  });
}

void StopInstrumentWorker(InstrumentWorker* worker) {
  worker->stopping = true;
  asio::post(worker->io, [worker] {
    worker->keep_alive.cancel();
    worker->retry.cancel();
    // The disconnect command goes out; its wait ends at once.
    if (worker->link_up) {
      Disconnect(worker->session.get());
    } else {
      CloseTransport(worker->session.get());
    }
    worker->link_up = false;
    worker->work.reset();
  });
  if (worker->thread.joinable()) worker->thread.join();
  delete worker;
}
