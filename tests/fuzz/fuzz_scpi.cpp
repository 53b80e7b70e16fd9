// Any bytes as a SCPI client's stream, through the line framing, the parser
// and the commands, against the simulator's model: only well-formed frames
// reach the instrument, and the error queue stays bounded.
#include <cstdlib>

#include "server/scpi_lines.h"
#include "server/scpi_message.h"
#include "tests/fuzz/fuzz_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  StartFuzzInstrument();
  ScpiLineReader reader;
  std::deque<ScpiLine> lines;
  TakeScpiBytes(&reader, reinterpret_cast<const char*>(bytes), size, &lines);
  ScpiErrorQueue errors;
  ScpiSettings settings;
  SoftLimits limits{};
  std::string ignored;
  ParseSoftLimit("v=-5:5", &limits, &ignored);
  for (const ScpiLine& line : lines) {
    ScpiContext context{&errors, &settings, &limits, &link_session, true, {}};
    const std::string reply = RunScpiMessage(&context, line.text);
    if (errors.entries.size() > kErrorQueueSize || reply.find('\n') != std::string::npos ||
        reader.partial.size() > kMaxScpiMessage) {
      std::abort();
    }
  }
  return 0;
}
