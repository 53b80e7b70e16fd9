// The receive ring both transports share: the reader thread puts what the
// port delivered, the frame layer drains it. Callers hold the transport's
// mutex around every call; the ring itself does no locking.
#pragma once
#include <cstdint>

constexpr int kRingSize = 1024;
constexpr int kRingMask = kRingSize - 1;
constexpr int kRingCapacity = kRingSize - 1;  // one slot stays free: equal indices mean empty

struct ReceiveRing {
  uint8_t receive_buffer[kRingSize];
  int32_t write_index;  // 0..1023
  int32_t read_index;   // 0..1023
};

void ResetRing(ReceiveRing* ring);
int RingUnread(const ReceiveRing* ring);
int RingFree(const ReceiveRing* ring);
// Stores as many of the bytes as fit and returns how many that was; the
// caller keeps the rest and offers it again after the next drain.
int RingPut(ReceiveRing* ring, const uint8_t* bytes, int count);
// Moves every unread byte (at most kRingCapacity) to the destination.
int RingDrain(ReceiveRing* ring, uint8_t* destination);
