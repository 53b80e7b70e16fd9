#include "tests/unit/fake_link.h"

#include <algorithm>
#include <cstring>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"

FakeLink fake_link;

namespace {

int FakeDrain(void*, uint8_t* destination) {
  if (fake_link.chunks.empty()) return 0;
  Bytes chunk = fake_link.chunks.front();
  fake_link.chunks.pop_front();
  int count = static_cast<int>(std::min<size_t>(chunk.size(), kMaxDrain));
  std::memcpy(destination, chunk.data(), count);
  return count;
}

int FakeWrite(void*, const uint8_t* bytes, int count) {
  fake_link.writes.emplace_back(bytes, bytes + count);
  if (fake_link.on_write) fake_link.on_write(fake_link.writes.back());
  return count;
}

void FakeClose(void*) {
  ++fake_link.closes;
}

}  // namespace

void InstallFakeLink() {
  fake_link = FakeLink{};
  UseDefaultLinkPlatform();
  ResetReceiverState();
  ResetLinkState();
  ResetInstrumentRecords();
  show_live_report = nullptr;
  InstallTransport({FakeDrain, FakeWrite, FakeClose, nullptr});
  link_platform.now_ms = [] { return fake_link.now_ms; };
  link_platform.sleep_ms = [](uint32_t ms) {
    fake_link.now_ms += ms;
    ++fake_link.sleeps;
  };
  link_platform.stop_poll_timer = [] { fake_link.timer_calls.push_back('s'); };
}

void Queue(const Bytes& bytes) {
  fake_link.chunks.push_back(bytes);
}

void QueueChunked(const Bytes& bytes, size_t chunk_size) {
  for (size_t at = 0; at < bytes.size(); at += chunk_size) {
    size_t end = std::min(bytes.size(), at + chunk_size);
    Queue(Bytes(bytes.begin() + at, bytes.begin() + end));
  }
}
