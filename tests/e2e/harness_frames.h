// Link frames as the instrument sees them, built by the simulator's own
// code so that a fault in the program's codec is not mirrored here.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_frame.h"

namespace e2e {

using Bytes = std::vector<uint8_t>;

struct Frame {
  uint8_t start = 0;  // 0xAA from the PC
  uint8_t command = 0;
  uint8_t status = 0;
  Bytes data;
  bool checksum_ok = false;
  Bytes raw;  // the frame's bytes as received
};

inline Bytes Ack(uint8_t command, uint8_t status = 0) {
  return BuildFrame(0xAA, command, status, {});
}
inline Bytes Reply(uint8_t command, uint8_t status, const Bytes& data) {
  return BuildFrame(0x55, command, status, data);
}

// Reassembles frames from a byte stream fed in pieces.
struct FrameReader {
  Bytes pending;
  void Feed(const uint8_t* bytes, int count, std::vector<Frame>* out);
};

inline std::string Hex(const Bytes& bytes) {
  return HexBytes(bytes.data(), static_cast<int>(bytes.size()));
}

}  // namespace e2e
