// Arbitrary byte streams, cut into arbitrary drains, through the receive
// parser and the reply handlers.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "sim/sim_frame.h"

namespace {

uint32_t fake_now = 0;
std::vector<uint8_t> pending;  // what the link delivers next
size_t chunk = kMaxDrain;      // at most this much per drain

int Drain(void*, uint8_t* destination) {
  const size_t count = std::min(pending.size(), chunk);
  std::copy_n(pending.begin(), count, destination);
  pending.erase(pending.begin(), pending.begin() + static_cast<long>(count));
  return static_cast<int>(count);
}

int Write(void*, const uint8_t*, int count) {
  return count;
}

void CheckLiveText(const char* text, int type, int mode) {
  const size_t n = std::strlen(text);
  if (n == 0 || n > 29 || type < 0 || type > 255 || mode < 0 || mode > 255 ||
      (type > 3) != (std::strcmp(text, "-") == 0)) {
    std::abort();
  }
}

void CheckLinkRecords() {
  const ReceiverState& rx = receiver_state;
  if (rx.state < WaitStart || rx.state > WaitChecksum || rx.data_index < 0 ||
      rx.data_index > kFrameBufferSize || rx.length < 0 || rx.length > 65535 ||
      std::memchr(instrument_identity.serial_number, 0, 9) == nullptr) {
    std::abort();
  }
  for (const ReplyRecord& record : reply_records)
    if (record.length < 0 || record.length > kFrameBufferSize) std::abort();
}

void FuzzLink(FuzzedDataProvider& data) {
  ResetReceiverState();
  ResetLinkState();
  ResetInstrumentRecords();
  InstallTransport({Drain, Write, nullptr, nullptr});
  link_platform.now_ms = [] { return fake_now; };
  link_platform.sleep_ms = [](uint32_t ms) { fake_now += ms; };
  show_live_report = CheckLiveText;
  pending.clear();
  while (data.remaining_bytes() > 0) {
    chunk = data.ConsumeIntegralInRange<size_t>(1, kMaxDrain);
    switch (data.ConsumeIntegralInRange(0, 5)) {
      case 0: {
        const std::vector<uint8_t> bytes = data.ConsumeBytes<uint8_t>(2 * kMaxDrain);
        pending.insert(pending.end(), bytes.begin(), bytes.end());
        ParseReceived();
        break;
      }
      case 1:  // a run of empty polls, long enough to cross the abandon rule
        chunk = 0;
        for (int i = data.ConsumeIntegralInRange(0, 120); i > 0; --i) ParseReceived();
        break;
      case 2:
        PollLink();
        break;
      case 3:
        SendCommandAndWait(data.ConsumeIntegral<uint8_t>(), 0, nullptr);
        break;
      case 4: {  // a well-formed frame of a handled command
        const uint8_t commands[] = {0x10, 0x11, 0x40, 0x41, 0x42, 0x43, 0xC2, 0xC1};
        const uint8_t start = data.ConsumeBool() ? 0x55 : 0xAA;
        const uint8_t command = data.PickValueInArray(commands);
        const uint8_t status = data.ConsumeIntegralInRange<uint8_t>(0, 5);
        const std::vector<uint8_t> frame =
            BuildFrame(start, command, status,
                       data.ConsumeBytes<uint8_t>(data.ConsumeIntegralInRange(0, 1100)));
        pending.insert(pending.end(), frame.begin(), frame.end());
        ParseReceived();
        break;
      }
      default:
        link_state.link_lost = false;
        IdentifyInstrument();
        break;
    }
    CheckLinkRecords();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  FuzzLink(data);
  return 0;
}
