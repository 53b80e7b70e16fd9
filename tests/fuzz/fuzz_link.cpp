// Arbitrary byte streams, cut into arbitrary drains, through the receive
// parser and the reply handlers.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>

#include "output/output_types.h"
#include "tests/unit/fake_link.h"

namespace {

// A type outside the table shows "-".
void CheckLiveText(void*, int, int type, int16_t code) {
  char text[32];
  FormatOutputValue(code, type, text);
  const size_t n = std::strlen(text);
  if (n == 0 || n > 29 || (type > 3) != (std::strcmp(text, "-") == 0)) std::abort();
}

void CheckLinkRecords(const LinkSession& session) {
  const int index = session.receiver_state.data_index;
  if (index < 0 || index > kFrameBufferSize ||
      std::memchr(session.instrument_identity.serial_number, 0, 9) == nullptr) {
    std::abort();
  }
  for (const ReplyRecord& record : session.reply_records)
    if (record.length < 0 || record.length > kFrameBufferSize) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  InstallFakeLink();
  LinkSession* session = &link_session;
  session->events.live_report = CheckLiveText;
  while (data.remaining_bytes() > 0) {
    const size_t chunk = data.ConsumeIntegralInRange<size_t>(1, kMaxDrain);
    switch (data.ConsumeIntegralInRange(0, 5)) {
      case 0:
        QueueChunked(data.ConsumeBytes<uint8_t>(2 * kMaxDrain), chunk);
        ParseReceived(session);
        break;
      case 1:  // silence, long enough to cross the abandon rule
        fake_link.now_ms += data.ConsumeIntegralInRange(0, 1500);
        fake_link.chunks.push_front({});
        ParseReceived(session);
        break;
      case 2:
        PollLink(session);
        break;
      case 3:
        SendCommandAndWait(session, data.ConsumeIntegral<uint8_t>(), 0, nullptr);
        break;
      case 4: {  // a well-formed frame of a handled command
        const uint8_t commands[] = {0x10, 0x11, 0x40, 0x41, 0x42, 0x43, 0xC2, 0xC1};
        const uint8_t start = data.ConsumeBool() ? 0x55 : 0xAA;
        const uint8_t command = data.PickValueInArray(commands);
        const uint8_t status = data.ConsumeIntegralInRange<uint8_t>(0, 5);
        const Bytes payload = data.ConsumeBytes<uint8_t>(data.ConsumeIntegralInRange(0, 1100));
        QueueChunked(BuildFrame(start, command, status, payload), chunk);
        ParseReceived(session);
        break;
      }
      default:
        session->link_state.link_lost = false;
        IdentifyInstrument(session);
        break;
    }
    CheckLinkRecords(*session);
  }
  return 0;
}
