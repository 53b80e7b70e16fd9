// The instrument link's own thread with its own LinkSession: it opens and
// identifies the instrument, keeps the link alive, notices its loss and
// reconnects, and runs the clients' requests one at a time in the order
// they were posted.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>

#include "link/link_address.h"
#include "link/link_session.h"

struct InstrumentWorker;

struct LiveReport {
  int mode;
  int output_type;
  int16_t code;
  std::chrono::steady_clock::time_point received;
};

// Both called on the link thread: link_changed on every change of the link
// (up after a successful identification, down on its loss), live_report on
// every good live report the link receives.
struct WorkerObserver {
  std::function<void(bool link_up, const InstrumentIdentity& identity)> link_changed;
  std::function<void(const LiveReport&)> live_report;
};

// verbose: every frame of the link on stdout.
InstrumentWorker* CreateInstrumentWorker(const LinkAddress& address, bool verbose);
// Before the worker starts.
void AddWorkerObserver(InstrumentWorker* worker, WorkerObserver observer);
void StartInstrumentWorker(InstrumentWorker* worker);

// Runs job on the link thread, after every job posted before it; session is
// the worker's and valid only inside the job.
void PostLinkJob(InstrumentWorker* worker,
                 std::function<void(LinkSession* session, bool link_up)> job);

// Ends the waits, sends the disconnect command while the link is up, closes
// it and joins the thread; then frees the worker.
void StopInstrumentWorker(InstrumentWorker* worker);
