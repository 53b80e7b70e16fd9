// Receive parser throughput on a stream like a busy link: acknowledgements,
// live-value replies and clock replies, drained in serial-sized or full chunks.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "link/link_session.h"
#include "sim/sim_frame.h"

namespace {

std::atomic<long> allocations{0};

std::vector<uint8_t> stream;
size_t stream_at = 0;
size_t chunk_size = 0;

void AppendFrame(uint8_t start, uint8_t command, const std::vector<uint8_t>& data) {
  const std::vector<uint8_t> frame = BuildFrame(start, command, 0, data);
  stream.insert(stream.end(), frame.begin(), frame.end());
}

void BuildStream() {
  stream.clear();
  for (int i = 0; i < 2000; ++i) {
    uint8_t code = static_cast<uint8_t>(i);
    AppendFrame(0xAA, CMD_SET_OUTPUT, {});
    AppendFrame(0x55, CMD_GET_OUTPUT, {0, static_cast<uint8_t>(i % 4), code, 0x21});
    if (i % 8 == 0)
      AppendFrame(0x55, CMD_GET_CLOCK, {26, 12, 6, 3, 4, static_cast<uint8_t>(code % 60)});
  }
}

int StreamDrain(void*, uint8_t* destination) {
  if (stream_at == stream.size()) stream_at = 0;
  size_t count = std::min(chunk_size, stream.size() - stream_at);
  std::memcpy(destination, stream.data() + stream_at, count);
  stream_at += count;
  return static_cast<int>(count);
}

void ParseStream(benchmark::State& state) {
  BuildStream();
  chunk_size = static_cast<size_t>(state.range(0));
  stream_at = 0;
  static LinkSession session;  // large: not on the stack
  InitLinkSession(&session);
  InstallTransport(&session, {StreamDrain, nullptr, nullptr, nullptr, nullptr});
  session.events.live_report = [](void*, int, int, int16_t code) {
    benchmark::DoNotOptimize(code);
  };
  // One untimed pass over the whole stream: it must not allocate at all.
  long before = allocations.load();
  for (size_t n = 0; n < stream.size(); n += chunk_size) ParseReceived(&session);
  long allocs_per_pass = allocations.load() - before;
  for (auto _ : state) ParseReceived(&session);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
  state.counters["allocs_per_pass"] = static_cast<double>(allocs_per_pass);
  state.counters["stream_bytes"] = static_cast<double>(stream.size());
}
// 115 bytes: what 115200 baud delivers in one 10 ms poll; 1023: a full drain.
BENCHMARK(ParseStream)->Arg(115)->Arg(1023);

}  // namespace

// Counts every allocation so that the run shows the parser makes none.
void* operator new(size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}
