// SCPI over a raw socket: messages end with LF (a CR before it is ignored).
#pragma once
#include <cstddef>
#include <deque>
#include <string>

constexpr size_t kMaxScpiMessage = 4096;

struct ScpiLine {
  std::string text;
  bool too_long;  // longer than kMaxScpiMessage: dropped up to its LF
};

struct ScpiLineReader {
  std::string partial;
  bool discarding = false;  // inside a message that is too long
};

void TakeScpiBytes(ScpiLineReader* reader, const char* bytes, size_t count,
                   std::deque<ScpiLine>* lines);
