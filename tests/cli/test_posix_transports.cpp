// The POSIX transports. A serial port keeps every byte: a burst far larger
// than one drain comes out whole and in order, a drain's worth at a time, and
// what it writes arrives as it was (raw both ways, without echo); it is ours
// alone while open. Links that cannot be opened say why, at once. Two links
// open at once keep apart.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>

#include <chrono>
#include <fstream>
#include <memory>

#include "link/fd_link_posix.h"
#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "sim/sim_frame.h"

using Bytes = std::vector<uint8_t>;

namespace {

std::unique_ptr<LinkSession> NewSession() {
  auto session = std::make_unique<LinkSession>();
  InitLinkSession(session.get());
  return session;
}

// The transports' own opens: the client's tests in this program stand in
// for OpenLink.
int OpenDevice(LinkSession* session, const char* path, std::string* reason) {
  return OpenSerialDevice(session, path, reason);
}

int OpenTcp(LinkSession* session, uint16_t port, std::string* reason) {
  return OpenTcpConnection(session, "127.0.0.1", port, reason);
}

// A loopback socket bound to a free port: listening, or not.
int BoundSocket(bool listening, uint16_t* port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  if (listening) listen(fd, 1);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  *port = ntohs(address.sin_port);
  return fd;
}

Bytes ReadWithin(int fd, int ms) {
  pollfd input = {fd, POLLIN, 0};
  Bytes got(256);
  if (poll(&input, 1, ms) != 1) return {};
  got.resize(static_cast<size_t>(std::max<ssize_t>(0, read(fd, got.data(), got.size()))));
  return got;
}

}  // namespace

TEST(PosixTransport, SerialBurstDrainsWholeAndInOrderAndWritesArriveAsTheyWere) {
  int master = -1, slave = -1;
  char name[256];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  std::string reason;
  auto session = NewSession();
  auto second = NewSession();
  ASSERT_EQ(OpenDevice(session.get(), name, &reason), 0) << reason;
  EXPECT_EQ(OpenDevice(second.get(), name, &reason), -1);
  EXPECT_EQ(reason, "in use by another program");
  const LinkTransport& transport = session->transport;
  Bytes burst(3000);
  for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<uint8_t>(i * 7 + i / 256);
  ASSERT_EQ(write(master, burst.data(), burst.size()), static_cast<ssize_t>(burst.size()));
  Bytes drained;
  for (int pass = 0; pass < 200 && drained.size() < burst.size(); ++pass) {
    uint8_t chunk[kFrameBufferSize];
    transport.wait_input(transport.context, 10);
    const int got = transport.drain(transport.context, chunk);
    ASSERT_LE(got, kMaxDrain);
    drained.insert(drained.end(), chunk, chunk + got);
  }
  EXPECT_EQ(drained, burst);

  const Bytes frame = {0xAA, 0x0A, 0x0D, 0x03, 0x11, 0x7F};
  ASSERT_EQ(transport.write(transport.context, frame.data(), 6), 0);
  EXPECT_EQ(ReadWithin(master, 2000), frame);
  CloseTransport(session.get());
  close(slave);
  close(master);
}

TEST(PosixTransport, LinksThatCannotBeOpenedSayWhy) {
  uint16_t port = 0;
  const int bound = BoundSocket(false, &port);
  std::string reason;
  auto session = NewSession();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OpenTcp(session.get(), port, &reason), -1);
  EXPECT_EQ(reason, "Connection refused");
  EXPECT_EQ(OpenDevice(session.get(), "no-such-port", &reason), -1);
  EXPECT_EQ(reason, "No such file or directory");
  std::ofstream("not-a-port");  // in the working folder
  EXPECT_EQ(OpenDevice(session.get(), "not-a-port", &reason), -1);
  EXPECT_EQ(reason, "not a serial port");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  EXPECT_EQ(session->transport.write, nullptr);
  close(bound);
}

TEST(PosixTransport, TwoLinksAtOnceKeepTheirFramesIdentitiesAndEnds) {
  int master = -1, slave = -1;
  char name[256];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  uint16_t port = 0;
  const int listener = BoundSocket(true, &port);
  std::string reason;
  auto serial = NewSession();
  auto tcp = NewSession();
  ASSERT_EQ(OpenDevice(serial.get(), name, &reason), 0) << reason;
  ASSERT_EQ(OpenTcp(tcp.get(), port, &reason), 0) << reason;
  const int peer = accept(listener, nullptr, nullptr);
  ASSERT_GE(peer, 0);

  // Each peer has its answer ready; each session asks its own.
  const Bytes serial_reply =
      BuildFrame(0x55, CMD_GET_SERIAL, 0, Bytes{'S', 'E', 'R', 'I', 'A', 'L', '-', 'A'});
  const Bytes version_reply = BuildFrame(0x55, CMD_GET_VERSION, 0, {2, 1, 5, 0, 0, 0});
  ASSERT_EQ(write(master, serial_reply.data(), serial_reply.size()), 14);
  ASSERT_EQ(write(peer, version_reply.data(), version_reply.size()), 12);
  serial->link_state.pending[CMD_GET_VERSION] = 1;
  EXPECT_EQ(SendCommandAndWait(serial.get(), CMD_GET_SERIAL, 0, nullptr), 0);
  EXPECT_EQ(SendCommandAndWait(tcp.get(), CMD_GET_VERSION, 0, nullptr), 0);
  EXPECT_STREQ(serial->instrument_identity.serial_number, "SERIAL-A");
  EXPECT_EQ(serial->instrument_identity.firmware_version, 0);
  EXPECT_EQ(serial->link_state.pending[CMD_GET_VERSION], 1);
  EXPECT_STREQ(tcp->instrument_identity.serial_number, "00000000");
  EXPECT_EQ(tcp->instrument_identity.firmware_version, 105);
  EXPECT_EQ(ReadWithin(master, 2000), BuildFrame(0xAA, CMD_GET_SERIAL, 0, {}));
  EXPECT_EQ(ReadWithin(peer, 2000), BuildFrame(0xAA, CMD_GET_VERSION, 0, {}));

  // The TCP peer goes: that link knows at once, and ends its wait; the other goes on.
  close(peer);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SendCommandAndWait(tcp.get(), CMD_GET_CLOCK, 0, nullptr), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_TRUE(tcp->link_state.transport_ended);
  ParseReceived(serial.get());
  EXPECT_FALSE(serial->link_state.transport_ended);
  CloseTransport(tcp.get());
  CloseTransport(serial.get());
  close(listener);
  close(slave);
  close(master);
}
