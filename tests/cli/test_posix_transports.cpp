// The POSIX transports. A serial port keeps every byte: a burst far larger
// than one drain comes out whole and in order, a drain's worth at a time, and
// what it writes arrives as it was (raw both ways, without echo); it is ours
// alone while open. Links that cannot be opened say why, at once.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>

#include <chrono>
#include <fstream>

#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "link/transports_posix.h"

using Bytes = std::vector<uint8_t>;

TEST(PosixTransport, SerialBurstDrainsWholeAndInOrderAndWritesArriveAsTheyWere) {
  int master = -1, slave = -1;
  char name[256];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  std::string reason;
  ASSERT_EQ(OpenSerialLink(name, &reason), 0) << reason;
  EXPECT_EQ(OpenSerialLink(name, &reason), -1);
  EXPECT_EQ(reason, "in use by another program");
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

  const Bytes frame = {0xAA, 0x0A, 0x0D, 0x03, 0x11, 0x7F};
  ASSERT_EQ(current_transport.write(current_transport.context, frame.data(), 6), 6);
  pollfd input = {master, POLLIN, 0};
  ASSERT_EQ(poll(&input, 1, 2000), 1);
  Bytes written(64);
  written.resize(static_cast<size_t>(read(master, written.data(), written.size())));
  EXPECT_EQ(written, frame);
  CloseTransport();
  close(slave);
  close(master);
}

TEST(PosixTransport, LinksThatCannotBeOpenedSayWhy) {
  // A loopback port that is bound but does not listen.
  const int bound = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(bind(bound, reinterpret_cast<sockaddr*>(&address), size), 0);
  getsockname(bound, reinterpret_cast<sockaddr*>(&address), &size);
  std::string reason;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OpenTcpLink("127.0.0.1", ntohs(address.sin_port), &reason), -1);
  EXPECT_EQ(reason, "Connection refused");
  EXPECT_EQ(OpenSerialLink("no-such-port", &reason), -1);
  EXPECT_EQ(reason, "No such file or directory");
  std::ofstream("not-a-port");  // in the working folder
  EXPECT_EQ(OpenSerialLink("not-a-port", &reason), -1);
  EXPECT_EQ(reason, "not a serial port");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  close(bound);
}
