#include <gtest/gtest.h>

#include <vector>

#include "link/receive_ring.h"

namespace {

std::vector<uint8_t> Pattern(int count, int start) {
  std::vector<uint8_t> bytes(count);
  for (int i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>((start + i) * 7 + 3);
  return bytes;
}

std::vector<uint8_t> DrainAll(ReceiveRing* ring) {
  std::vector<uint8_t> out(kRingCapacity);
  out.resize(RingDrain(ring, out.data()));
  return out;
}

}  // namespace

// Written across the end of the store, and over-filled.
TEST(ReceiveRing, DrainsInOrderAcrossTheEndAndOverflowKeepsHeldBytesAndReturnsTheExcess) {
  ReceiveRing ring;
  ResetRing(&ring);
  ring.write_index = ring.read_index = 900;
  EXPECT_TRUE(DrainAll(&ring).empty());
  std::vector<uint8_t> first = Pattern(1000, 0), burst = Pattern(1500, 1000);
  ASSERT_EQ(RingPut(&ring, first.data(), 1000), 1000);
  EXPECT_EQ(RingUnread(&ring), 1000);
  // Only 23 more fit; the unread bytes must survive untouched.
  int stored = RingPut(&ring, burst.data(), 1500);
  EXPECT_EQ(stored, 23);
  EXPECT_EQ(RingUnread(&ring), kRingCapacity);
  EXPECT_EQ(RingPut(&ring, burst.data() + stored, 1500 - stored), 0);
  // Offering the held rest after each drain delivers the whole stream in order.
  std::vector<uint8_t> received = DrainAll(&ring);
  while (stored < 1500) {
    stored += RingPut(&ring, burst.data() + stored, 1500 - stored);
    std::vector<uint8_t> more = DrainAll(&ring);
    received.insert(received.end(), more.begin(), more.end());
  }
  EXPECT_EQ(received, Pattern(2500, 0));
  EXPECT_GE(ring.write_index, 0);
  EXPECT_LT(ring.write_index, kRingSize);
}
