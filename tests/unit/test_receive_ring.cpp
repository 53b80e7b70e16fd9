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

TEST(ReceiveRing, ChunksAcrossTheEndDrainInOrder) {
  ReceiveRing ring;
  ResetRing(&ring);
  ring.write_index = ring.read_index = 1000;
  EXPECT_TRUE(DrainAll(&ring).empty());
  EXPECT_EQ(1000, ring.read_index);
  std::vector<uint8_t> a = Pattern(20, 0), b = Pattern(40, 20);
  ASSERT_EQ(20, RingPut(&ring, a.data(), 20));  // ends at 1020
  ASSERT_EQ(40, RingPut(&ring, b.data(), 40));  // wraps to 36
  EXPECT_EQ(36, ring.write_index);
  EXPECT_EQ(60, RingUnread(&ring));
  EXPECT_EQ(Pattern(60, 0), DrainAll(&ring));
  EXPECT_EQ(36, ring.read_index);
}

TEST(ReceiveRing, OverflowKeepsHeldBytesAndReturnsTheExcess) {
  ReceiveRing ring;
  ResetRing(&ring);
  ring.write_index = ring.read_index = 900;
  std::vector<uint8_t> first = Pattern(1000, 0);
  ASSERT_EQ(1000, RingPut(&ring, first.data(), 1000));

  // Only 23 more fit; the unread bytes must survive untouched.
  std::vector<uint8_t> burst = Pattern(1500, 1000);
  int stored = RingPut(&ring, burst.data(), 1500);
  EXPECT_EQ(23, stored);
  EXPECT_EQ(kRingCapacity, RingUnread(&ring));
  EXPECT_EQ(0, RingPut(&ring, burst.data() + stored, 1500 - stored));

  // Offering the held rest after each drain delivers the whole stream in order.
  std::vector<uint8_t> received = DrainAll(&ring);
  EXPECT_EQ(kRingCapacity, static_cast<int>(received.size()));
  while (stored < 1500) {
    stored += RingPut(&ring, burst.data() + stored, 1500 - stored);
    std::vector<uint8_t> more = DrainAll(&ring);
    received.insert(received.end(), more.begin(), more.end());
  }
  EXPECT_EQ(Pattern(2500, 0), received);
  EXPECT_GE(ring.write_index, 0);
  EXPECT_LT(ring.write_index, kRingSize);
}

}  // namespace
