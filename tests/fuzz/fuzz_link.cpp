// Arbitrary byte streams, cut into arbitrary drains, through the receive
// parser and the reply handlers; plus arbitrary texts and numbers through the
// entry check and the value conversions.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "output/output_types.h"
#include "sim/sim_frame.h"

namespace {

FuzzedDataProvider* input = nullptr;
uint32_t fake_now = 0;
// Well-formed frames waiting to be drained before raw input bytes.
std::vector<uint8_t> staged;
size_t staged_at = 0;

void StageFrame(FuzzedDataProvider& data) {
  const uint8_t commands[] = {0x10, 0x11, 0x40, 0x41, 0x42, 0x43, 0xC2, 0xC1};
  std::vector<uint8_t> body = data.ConsumeBytes<uint8_t>(data.ConsumeIntegralInRange(0, 1100));
  const uint8_t start = data.ConsumeBool() ? uint8_t{0x55} : uint8_t{0xAA};
  const uint8_t command = data.PickValueInArray(commands);
  std::vector<uint8_t> frame =
      BuildFrame(start, command, data.ConsumeIntegralInRange<uint8_t>(0, 5), body);
  staged.insert(staged.end(), frame.begin(), frame.end());
}

int Drain(void*, uint8_t* destination) {
  if (input == nullptr) return 0;
  if (staged_at < staged.size()) {
    size_t count =
        std::min(staged.size() - staged_at, input->ConsumeIntegralInRange<size_t>(1, kMaxDrain));
    std::memcpy(destination, staged.data() + staged_at, count);
    staged_at += count;
    return static_cast<int>(count);
  }
  if (input->remaining_bytes() == 0) return 0;
  size_t count = input->ConsumeIntegralInRange<size_t>(0, kMaxDrain);
  std::vector<uint8_t> bytes = input->ConsumeBytes<uint8_t>(count);
  if (bytes.empty()) return 0;
  std::memcpy(destination, bytes.data(), bytes.size());
  return static_cast<int>(bytes.size());
}

int Write(void*, const uint8_t*, int count) {
  return count;
}

void CheckLiveText(const char* text, int type, int mode) {
  size_t n = std::strlen(text);
  if (n == 0 || n > 29 || type < 0 || type > 255 || mode < 0 || mode > 255) std::abort();
  if ((type > 3) != (std::strcmp(text, "-") == 0)) std::abort();
}

void CheckLinkRecords() {
  const ReceiverState& rx = receiver_state;
  if (rx.state < WaitStart || rx.state > WaitChecksum) std::abort();
  if (rx.data_index < 0 || rx.data_index > kFrameBufferSize) std::abort();
  if (rx.length < 0 || rx.length > 65535) std::abort();
  for (const ReplyRecord& record : reply_records)
    if (record.length < 0 || record.length > kFrameBufferSize) std::abort();
  if (std::memchr(instrument_identity.serial_number, 0, 9) == nullptr) std::abort();
}

void FuzzLink(FuzzedDataProvider& data) {
  ResetReceiverState();
  ResetLinkState();
  ResetInstrumentRecords();
  InstallTransport({Drain, Write, nullptr, nullptr});
  link_platform.now_ms = [] { return fake_now; };
  link_platform.sleep_ms = [](uint32_t ms) { fake_now += ms; };
  show_live_report = CheckLiveText;
  staged.clear();
  staged_at = 0;
  input = &data;
  while (data.remaining_bytes() > 0) {
    switch (data.ConsumeIntegralInRange(0, 5)) {
      case 0:
        ParseReceived();
        break;
      case 1:  // a run of empty polls, long enough to cross the abandon rule
        for (int i = data.ConsumeIntegralInRange(0, 120); i > 0; --i) {
          input = nullptr;
          ParseReceived();
          input = &data;
        }
        break;
      case 2:
        PollLink();
        break;
      case 3:
        SendCommandAndWait(data.ConsumeIntegral<uint8_t>(), 0, nullptr);
        break;
      case 4:
        StageFrame(data);
        ParseReceived();
        break;
      default:
        link_state.link_lost = false;
        IdentifyInstrument();
        break;
    }
    CheckLinkRecords();
  }
  input = nullptr;
}

void FuzzConversions(FuzzedDataProvider& data) {
  int type = data.ConsumeIntegralInRange(-1, 4);
  std::string text = data.ConsumeRandomLengthString(40).c_str();  // as an edit box holds it
  if (IsNumericText(text.c_str())) {
    // An accepted text with a digit is a whole decimal number.
    if (text.find_first_of("0123456789") != std::string::npos) {
      char* end = nullptr;
      std::strtod(text.c_str(), &end);
      if (*end != '\0') std::abort();
    }
    double value = std::atof(text.c_str());
    (void)std::atoi(text.c_str());
    if (InOutputRange(value, type)) {
      int code = EncodeOutputValue(value, type);
      if (code < 0 || code > 0xFFFF) std::abort();
      double back = DecodeOutputValue(type, static_cast<int16_t>(code));
      double step = (output_types[type].max - output_types[type].min) / 32767.0;
      if (std::fabs(back - value) > step) std::abort();
      char shown[32];
      FormatOutputValue(static_cast<int16_t>(code), type, shown);
    }
    (void)ValueToText(value, type);
  }
  double any = data.ConsumeFloatingPoint<double>();
  int code = EncodeOutputValue(any, type);
  if (code < 0 || code > 0xFFFF) std::abort();
  (void)ValueToText(any, type);
  (void)DecodeOutputValue(static_cast<unsigned>(type), data.ConsumeIntegral<int16_t>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  if (data.ConsumeBool()) {
    FuzzLink(data);
  } else {
    FuzzConversions(data);
  }
  return 0;
}
