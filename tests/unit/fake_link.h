// A scripted byte pipe and clock for the link layer: each drain hands over
// the next queued chunk, writes are recorded, and time moves only by sleeps.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "sim/sim_frame.h"

using Bytes = std::vector<uint8_t>;

struct FakeLink {
  std::deque<Bytes> chunks;  // one per drain
  std::vector<Bytes> writes;
  std::function<void(const Bytes& frame)> on_write;  // may queue an answer
  uint32_t now_ms = 5000;
  uint32_t sleeps = 0;
  int closes = 0;
  std::vector<char> timer_calls;  // 's' for each stop
};

extern FakeLink fake_link;

// Resets every link record and installs the fake as the transport and the platform.
void InstallFakeLink();
void Queue(const Bytes& bytes);  // as one drain
void QueueChunked(const Bytes& bytes, size_t chunk_size);
