// The POSIX serial transport keeps every byte: a burst far larger than one
// drain comes out whole and in order, a drain's worth at a time.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "link/transports_posix.h"

using Bytes = std::vector<uint8_t>;

TEST(PosixTransport, BurstDrainsWholeAndInOrder) {
  int master = -1;
  int slave = -1;
  char name[256];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  std::string reason;
  ASSERT_EQ(OpenSerialLink(name, &reason), 0) << reason;
  Bytes burst(3000);
  for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<uint8_t>(i * 7 + i / 256);
  ASSERT_EQ(write(master, burst.data(), burst.size()), static_cast<ssize_t>(burst.size()));

  Bytes drained;
  for (int pass = 0; pass < 200 && drained.size() < burst.size(); ++pass) {
    uint8_t chunk[kFrameBufferSize];
    WaitForLinkInput(10);
    const int got = current_transport.drain(current_transport.context, chunk);
    ASSERT_LE(got, kMaxDrain);
    drained.insert(drained.end(), chunk, chunk + got);
  }
  EXPECT_EQ(drained, burst);
  CloseTransport();
  close(slave);
  close(master);
}
