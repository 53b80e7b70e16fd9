#include "tests/e2e/harness_frames.h"

namespace e2e {

void FrameReader::Feed(const uint8_t* bytes, int count, std::vector<Frame>* out) {
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
        BuildFrame(frame.start, frame.command, frame.status, frame.data).back() == frame.raw.back();
    out->push_back(frame);
    pos += length + 6;
  }
  pending.erase(pending.begin(), pending.begin() + pos);
}

}  // namespace e2e
