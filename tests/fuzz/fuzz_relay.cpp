// Any bytes as a relay client's stream, cut into arbitrary reads: only
// well-formed frames reach the instrument, and the client's queue of
// requests never holds more than one read's worth.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdlib>

#include "server/relay_frames.h"
#include "tests/fuzz/fuzz_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  StartFuzzInstrument();
  RelayClientParser parser;
  SoftLimits limits{};
  std::string ignored;
  ParseSoftLimit("ma=0:12", &limits, &ignored);
  uint32_t now_ms = 0;
  while (data.remaining_bytes() > 0) {
    now_ms += data.ConsumeIntegralInRange<uint32_t>(0, 1500);
    const std::vector<uint8_t> read =
        data.ConsumeBytes<uint8_t>(data.ConsumeIntegralInRange(1, 4096));
    TakeRelayBytes(&parser, read.data(), static_cast<int>(read.size()), now_ms);
    if (parser.requests.size() > read.size() / 6 + 1) std::abort();
    while (!parser.requests.empty()) {
      const std::vector<uint8_t> answer = AnswerRelayRequest(
          &link_session, true, parser.requests.front(), limits, std::chrono::steady_clock::now());
      parser.requests.pop_front();
      if (!answer.empty()) CheckWellFormed(answer.data(), static_cast<int>(answer.size()));
    }
  }
  return 0;
}
