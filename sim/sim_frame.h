// Link frames as the instrument side builds them: start, command, status,
// length high and low, data, then the byte sum plus one. Kept apart from the
// program's own codec, so the simulator and the tests do not share its faults.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

inline std::vector<uint8_t> BuildFrame(uint8_t start, uint8_t command, uint8_t status,
                                       const std::vector<uint8_t>& data) {
  std::vector<uint8_t> frame = {start, command, status, static_cast<uint8_t>(data.size() >> 8),
                                static_cast<uint8_t>(data.size() & 0xFF)};
  frame.insert(frame.end(), data.begin(), data.end());
  uint8_t sum = 1;
  for (uint8_t b : frame) sum = static_cast<uint8_t>(sum + b);
  frame.push_back(sum);
  return frame;
}

// "AA 10 00 00 00 BB"
inline std::string HexBytes(const uint8_t* bytes, int count) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i) text += ' ';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 15];
  }
  return text;
}
