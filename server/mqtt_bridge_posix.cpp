#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "cli/session.h"
#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "server/instrument_worker.h"
#include "server/mqtt_bridge.h"
#include "server/mqtt_link.h"
#include "server/mqtt_topics.h"

using Clock = std::chrono::steady_clock;

struct MqttBridge {
  InstrumentWorker* worker = nullptr;
  MqttSettings settings;
  SoftLimits limits{};
  std::function<void(const std::string&)> log;
  Clock::time_point epoch;  // the live slots are counted from here
  Clock::duration interval;

  std::mutex mutex;  // guards what follows
  std::condition_variable wake;
  bool stopping = false;
  MqttTopics topics;  // empty prefix until known
  bool has_prefix = false;
  MqttLink* link = nullptr;
  bool connecting = false;  // once ConnectMqttLink was called: libmosquitto goes on
  bool link_known = false;
  bool link_up = false;
  std::string identity;      // the payload, once identified
  long long live_slot = -1;  // of the last published report
  bool live_request_queued = false;
  int commands_queued = 0;
  std::thread pacer;
};

namespace {

// Anyone on the broker may send commands; more than this waiting are
// refused rather than queued without end.
constexpr int kMaxQueuedCommands = 16;

using Bridge = std::shared_ptr<MqttBridge>;

long long SlotOf(const MqttBridge& b, Clock::time_point t) {
  return (t - b.epoch) / b.interval;
}

// Under the mutex. The state's messages, after each change and after each
// (re)connect: the broker may have lost what it retained.
void PublishLinkState(MqttBridge* b, bool with_identity) {
  if (b->link == nullptr || !b->link_known) return;
  PublishMqtt(b->link, b->topics.link, b->link_up ? "up" : "down", 1, true);
  if (with_identity && !b->identity.empty()) {
    PublishMqtt(b->link, b->topics.identity, b->identity, 1, true);
  }
}

void PublishResult(MqttBridge* b, const std::string& text, const Outcome& outcome,
                   const std::string& printed) {
  std::lock_guard<std::mutex> lock(b->mutex);
  PublishMqtt(b->link, b->topics.result, ResultPayload(text, outcome, printed), 1, false);
}

// What the client prints for the command, as one text.
Outcome RunOnSession(LinkSession* session, const Command& command, std::string* printed) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* file = open_memstream(&buffer, &size);
  if (file == nullptr) return Failure(kExitUsage, "out of memory");
  LineSink sink{file, false};
  const Outcome outcome = RunLinkCommand(session, command, OutputFormat::Text, &sink);
  std::fclose(file);
  *printed = std::string(buffer, size);
  std::free(buffer);
  while (!printed->empty() && printed->back() == '\n') printed->pop_back();
  return outcome;
}

void TakeCommand(const Bridge& b, const std::string& text) {
  Command command;
  Outcome refused = PrepareMqttCommand(text, b->limits, &command);
  if (refused.ok()) {
    std::lock_guard<std::mutex> lock(b->mutex);
    if (b->commands_queued >= kMaxQueuedCommands) {
      refused = Failure(kExitUsage, std::to_string(kMaxQueuedCommands) +
                                        " commands are waiting already: nothing was sent");
    } else {
      ++b->commands_queued;
    }
  }
  if (!refused.ok()) {
    PublishResult(b.get(), text, refused, "");
    return;
  }
  PostLinkJob(b->worker, [b, text, command](LinkSession* session, bool link_up) {
    std::string printed;
    const Outcome outcome = link_up ? RunOnSession(session, command, &printed)
                                    : Failure(kExitLinkLost, "the instrument link is down");
    {
      std::lock_guard<std::mutex> lock(b->mutex);
      --b->commands_queued;
    }
    PublishResult(b.get(), text, outcome, printed);
  });
}

MqttLink* NewBrokerLink(const Bridge& b, std::string* error) {
  MqttHandlers handlers;
  std::weak_ptr<MqttBridge> weak = b;
  handlers.connected = [weak] {
    if (Bridge b = weak.lock()) {
      std::lock_guard<std::mutex> lock(b->mutex);
      PublishLinkState(b.get(), true);
    }
  };
  handlers.command = [weak](const std::string& text) {
    if (Bridge b = weak.lock()) TakeCommand(b, text);
  };
  handlers.report = b->log;
  return CreateMqttLink(b->settings, b->topics.status, b->topics.command, handlers, error);
}

// On the pacer's thread, outside the mutex: the host lookup may take time,
// and neither the link's thread nor the broker's may wait for it.
void ConnectBroker(const Bridge& b, std::unique_lock<std::mutex>* lock) {
  std::string error;
  if (b->link == nullptr) b->link = NewBrokerLink(b, &error);
  if (b->link == nullptr) {
    b->log("mqtt: " + error);
    b->stopping = true;
    return;
  }
  b->connecting = true;
  MqttLink* link = b->link;
  lock->unlock();
  ConnectMqttLink(link, b->settings);
  lock->lock();
}

// Asks for a live report at the start of each slot that has none yet.
void Pace(const Bridge& b) {
  std::unique_lock<std::mutex> lock(b->mutex);
  Clock::time_point next = b->epoch + b->interval;
  while (!b->stopping) {
    b->wake.wait_until(lock, next);
    if (b->stopping) break;
    if (!b->connecting && b->has_prefix) ConnectBroker(b, &lock);
    const Clock::time_point now = Clock::now();
    if (now < next) continue;
    const long long slot = SlotOf(*b, now);
    next = b->epoch + (slot + 1) * b->interval;
    if (b->link == nullptr || !b->link_up || b->live_request_queued || b->live_slot >= slot) {
      continue;
    }
    b->live_request_queued = true;
    std::weak_ptr<MqttBridge> weak = b;
    PostLinkJob(b->worker, [weak](LinkSession* session, bool link_up) {
      // The report itself comes through the observer.
      if (link_up) SendCommandAndWait(session, CMD_GET_OUTPUT, 0, nullptr);
      if (Bridge b = weak.lock()) {
        std::lock_guard<std::mutex> lock(b->mutex);
        b->live_request_queued = false;
      }
    });
  }
}

void LinkChanged(MqttBridge* b, bool link_up, const InstrumentIdentity& identity) {
  std::lock_guard<std::mutex> lock(b->mutex);
  b->link_known = true;
  b->link_up = link_up;
  if (link_up) {
    b->identity = IdentityPayload(identity);
    if (!b->has_prefix) {
      b->topics = TopicsUnder(DefaultMqttPrefix(identity));
      b->has_prefix = true;
      b->wake.notify_all();
    }
  }
  PublishLinkState(b, link_up);
}

// At most one report a slot; a request of the pacer's, the keep-alive's or a
// client's, whichever came first.
void LiveReported(MqttBridge* b, const LiveReport& report) {
  std::lock_guard<std::mutex> lock(b->mutex);
  const long long slot = SlotOf(*b, report.received);
  if (b->link == nullptr || slot <= b->live_slot) return;
  b->live_slot = slot;
  PublishMqtt(b->link, b->topics.live, LivePayload(report.mode, report.output_type, report.code), 0,
              true);
}

}  // namespace

std::shared_ptr<MqttBridge> StartMqttBridge(InstrumentWorker* worker, const MqttSettings& settings,
                                            const SoftLimits& limits,
                                            std::function<void(const std::string&)> log,
                                            std::string* error) {
  auto b = std::make_shared<MqttBridge>();
  b->worker = worker;
  b->settings = settings;
  b->limits = limits;
  b->log = std::move(log);
  b->epoch = Clock::now();
  b->interval = std::chrono::milliseconds(settings.interval_ms);
  if (!settings.prefix.empty()) {
    // Settings that libmosquitto refuses stop the start.
    b->topics = TopicsUnder(settings.prefix);
    b->has_prefix = true;
    b->link = NewBrokerLink(b, error);
    if (b->link == nullptr) return nullptr;
  }
  std::weak_ptr<MqttBridge> weak = b;
  AddWorkerObserver(worker, {[weak](bool link_up, const InstrumentIdentity& identity) {
                               if (Bridge b = weak.lock()) LinkChanged(b.get(), link_up, identity);
                             },
                             [weak](const LiveReport& report) {
                               if (Bridge b = weak.lock()) LiveReported(b.get(), report);
                             }});
  b->pacer = std::thread(Pace, b);
  return b;
}

void StopMqttBridge(MqttBridge* b) {
  MqttLink* link = nullptr;
  {
    std::lock_guard<std::mutex> lock(b->mutex);
    b->stopping = true;
    b->wake.notify_all();
    if (b->link != nullptr) PublishMqtt(b->link, b->topics.link, "down", 1, true);
    link = b->link;
    b->link = nullptr;
  }
  if (b->pacer.joinable()) b->pacer.join();
  StopMqttLink(link);
}
