#include "tests/e2e/harness_frames.h"

#include <cstdio>

namespace e2e {

uint8_t FrameChecksum(const Bytes& bytes) {
  unsigned sum = 1;
  for (uint8_t b : bytes) sum += b;
  return static_cast<uint8_t>(sum & 0xFF);
}

Bytes MakeFrame(uint8_t start, uint8_t command, uint8_t status, const Bytes& data) {
  Bytes frame;
  frame.reserve(data.size() + 6);
  frame.push_back(start);
  frame.push_back(command);
  frame.push_back(status);
  frame.push_back(static_cast<uint8_t>(data.size() >> 8));
  frame.push_back(static_cast<uint8_t>(data.size() & 0xFF));
  for (uint8_t b : data) frame.push_back(b);
  frame.push_back(FrameChecksum(frame));
  return frame;
}

Bytes Ack(uint8_t command, uint8_t status) {
  return MakeFrame(0xAA, command, status, {});
}

Bytes Reply(uint8_t command, uint8_t status, const Bytes& data) {
  return MakeFrame(0x55, command, status, data);
}

void FrameReader::Feed(const uint8_t* bytes, int count, uint64_t now_ms, std::vector<Frame>* out) {
  pending.insert(pending.end(), bytes, bytes + count);
  size_t pos = 0;
  for (;;) {
    // Noise before a start byte is skipped, as the instrument would.
    while (pos < pending.size() && pending[pos] != 0xAA && pending[pos] != 0x55) ++pos;
    if (pending.size() - pos < 5) break;
    const size_t length = (size_t{pending[pos + 3]} << 8) | pending[pos + 4];
    if (length > 1018) {  // no command frame is that long: not a start byte
      ++pos;
      continue;
    }
    if (pending.size() - pos < length + 6) break;
    Frame frame;
    frame.raw.assign(pending.begin() + pos, pending.begin() + pos + length + 6);
    frame.start = frame.raw[0];
    frame.command = frame.raw[1];
    frame.status = frame.raw[2];
    frame.data.assign(frame.raw.begin() + 5, frame.raw.begin() + 5 + length);
    frame.checksum_ok =
        FrameChecksum(Bytes(frame.raw.begin(), frame.raw.end() - 1)) == frame.raw.back();
    frame.received_ms = now_ms;
    out->push_back(frame);
    pos += length + 6;
  }
  pending.erase(pending.begin(), pending.begin() + pos);
}

std::string Hex(const Bytes& bytes) {
  std::string text;
  char cell[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(cell, sizeof cell, "%02X", bytes[i]);
    if (i > 0) text += ' ';
    text += cell;
  }
  return text;
}

}  // namespace e2e
