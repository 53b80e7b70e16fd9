// Arbitrary byte streams, cut into arbitrary drains, through the receive
// parser and the reply handlers.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>

#include "tests/unit/fake_link.h"

namespace {

// A type outside the table shows "-".
void CheckLiveText(const char* text, int type, int) {
  const size_t n = std::strlen(text);
  if (n == 0 || n > 29 || (type > 3) != (std::strcmp(text, "-") == 0)) std::abort();
}

void CheckLinkRecords() {
  const int index = receiver_state.data_index;
  if (index < 0 || index > kFrameBufferSize ||
      std::memchr(instrument_identity.serial_number, 0, 9) == nullptr) {
    std::abort();
  }
  for (const ReplyRecord& record : reply_records)
    if (record.length < 0 || record.length > kFrameBufferSize) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  InstallFakeLink();
  show_live_report = CheckLiveText;
  while (data.remaining_bytes() > 0) {
    const size_t chunk = data.ConsumeIntegralInRange<size_t>(1, kMaxDrain);
    switch (data.ConsumeIntegralInRange(0, 5)) {
      case 0:
        QueueChunked(data.ConsumeBytes<uint8_t>(2 * kMaxDrain), chunk);
        ParseReceived();
        break;
      case 1:  // a run of empty polls, long enough to cross the abandon rule
        for (int i = data.ConsumeIntegralInRange(0, 120); i > 0; --i) {
          fake_link.chunks.push_front({});
          ParseReceived();
        }
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
        const Bytes payload = data.ConsumeBytes<uint8_t>(data.ConsumeIntegralInRange(0, 1100));
        QueueChunked(BuildFrame(start, command, status, payload), chunk);
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
  return 0;
}
