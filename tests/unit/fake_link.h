// A scripted byte pipe and clock for the link layer: each drain hands over
// the next queued chunk, writes are recorded, and time moves only by sleeps.
#pragma once
#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "link/link_session.h"
#include "sim/instrument_model.h"
#include "sim/sim_frame.h"

using Bytes = std::vector<uint8_t>;

struct FakeLink {
  std::deque<Bytes> chunks;  // one per drain; an empty one is an empty poll
  std::vector<Bytes> writes;
  std::function<void(const Bytes& frame)> on_write;  // may queue an answer
  uint32_t now_ms = 5000;
  uint32_t sleeps = 0;
  int closes = 0;
  int timer_stops = 0;
};

inline FakeLink fake_link;

inline void Queue(const Bytes& bytes) {
  fake_link.chunks.push_back(bytes);
}

inline void QueueChunked(const Bytes& bytes, size_t chunk_size) {
  for (size_t at = 0; at < bytes.size(); at += chunk_size)
    Queue(Bytes(bytes.begin() + at, bytes.begin() + std::min(bytes.size(), at + chunk_size)));
}

// The tests' session; in static storage, as it is large.
inline LinkSession link_session;

// The fake as a session's transport and clock.
inline void InstallFakeTransport(LinkSession* session) {
  auto drain = [](void*, uint8_t* destination) {
    if (fake_link.chunks.empty()) return 0;
    const Bytes chunk = fake_link.chunks.front();
    fake_link.chunks.pop_front();
    const size_t count = std::min<size_t>(chunk.size(), kMaxDrain);
    std::copy_n(chunk.begin(), count, destination);
    return static_cast<int>(count);
  };
  auto write = [](void*, const uint8_t* bytes, int count) {
    fake_link.writes.emplace_back(bytes, bytes + count);
    if (fake_link.on_write) fake_link.on_write(fake_link.writes.back());
    return 0;
  };
  InstallTransport(session, {drain, write, [](void*) { ++fake_link.closes; }, nullptr, nullptr});
  session->platform.now_ms = [] { return fake_link.now_ms; };
  session->platform.sleep_ms = [](LinkSession*, uint32_t ms) {
    fake_link.now_ms += ms;
    ++fake_link.sleeps;
  };
  session->events.disconnecting = [](void*) { ++fake_link.timer_stops; };
}

// A new session on the fake.
inline void InstallFakeLink() {
  fake_link = FakeLink{};
  InitLinkSession(&link_session);
  InstallFakeTransport(&link_session);
}

// For on_write: the simulator's model hears every frame and answers at once.
inline void AnswerFrom(InstrumentModel* model, const Bytes& frame) {
  Bytes answers;
  ModelReceive(model, 0, frame.data(), static_cast<int>(frame.size()));
  if (TakeDueAnswers(model, 0, &answers)) Queue(answers);
}
