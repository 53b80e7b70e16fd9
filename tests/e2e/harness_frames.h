// Link frames as the instrument sees them, written independently of the
// program's own codec so that a fault there is not mirrored here.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

using Bytes = std::vector<uint8_t>;

struct Frame {
  uint8_t start = 0;  // 0xAA from the PC
  uint8_t command = 0;
  uint8_t status = 0;
  Bytes data;
  bool checksum_ok = false;
  uint64_t received_ms = 0;  // NowMs() when its last byte came
  Bytes raw;                 // the frame's bytes as received
};

uint8_t FrameChecksum(const Bytes& bytes_before_checksum);  // sum + 1
Bytes MakeFrame(uint8_t start, uint8_t command, uint8_t status, const Bytes& data);
Bytes Ack(uint8_t command, uint8_t status = 0);
Bytes Reply(uint8_t command, uint8_t status, const Bytes& data);

// Reassembles frames from a byte stream fed in pieces.
struct FrameReader {
  Bytes pending;
  void Feed(const uint8_t* bytes, int count, uint64_t now_ms, std::vector<Frame>* out);
};

std::string Hex(const Bytes& bytes);  // "AA 10 00 00 00 BB"

}  // namespace e2e
