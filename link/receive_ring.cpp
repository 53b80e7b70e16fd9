#include "link/receive_ring.h"

#include <cstring>

void ResetRing(ReceiveRing* ring) {
  std::memset(ring, 0, sizeof *ring);
}

int RingUnread(const ReceiveRing* ring) {
  return (ring->write_index - ring->read_index) & kRingMask;
}

int RingFree(const ReceiveRing* ring) {
  return kRingCapacity - RingUnread(ring);
}

// Overflow never overwrites: the excess goes back to the reader, which holds
// it (and stops reading the port) until a drain makes room. The port's own
// queue and flow control then keep the instrument waiting, so no byte is lost.
int RingPut(ReceiveRing* ring, const uint8_t* bytes, int count) {
  if (count <= 0) return 0;
  int stored = count < RingFree(ring) ? count : RingFree(ring);
  int first = kRingSize - ring->write_index;
  if (first > stored) first = stored;
  std::memcpy(ring->receive_buffer + ring->write_index, bytes, first);
  std::memcpy(ring->receive_buffer, bytes + first, stored - first);
  ring->write_index = (ring->write_index + stored) & kRingMask;
  return stored;
}

int RingDrain(ReceiveRing* ring, uint8_t* destination) {
  int count = RingUnread(ring);
  int first = kRingSize - ring->read_index;
  if (first > count) first = count;
  std::memcpy(destination, ring->receive_buffer + ring->read_index, first);
  std::memcpy(destination + first, ring->receive_buffer, count - first);
  ring->read_index = (ring->read_index + count) & kRingMask;
  return count;
}
