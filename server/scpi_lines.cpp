#include "server/scpi_lines.h"

void TakeScpiBytes(ScpiLineReader* reader, const char* bytes, size_t count,
                   std::deque<ScpiLine>* lines) {
  for (size_t i = 0; i < count; ++i) {
    const char c = bytes[i];
    if (c == '\n') {
      if (!reader->discarding) {
        if (!reader->partial.empty() && reader->partial.back() == '\r') reader->partial.pop_back();
        lines->push_back({std::move(reader->partial), false});
      }
      reader->partial.clear();
      reader->discarding = false;
    } else if (reader->discarding) {
      continue;
    } else if (reader->partial.size() >= kMaxScpiMessage) {
      // Reported once, where it starts; the rest up to the LF is dropped.
      lines->push_back({"", true});
      reader->partial.clear();
      reader->discarding = true;
    } else {
      reader->partial += c;
    }
  }
}
