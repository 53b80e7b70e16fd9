// The TCP transport against loopback peers made here.
#include <gtest/gtest.h>

// clang-format off
#include "tests/transport/transport_env_win.h"
#include "link/tcp_transport_win.h"
// clang-format on
#include "link/transports_win.h"

namespace {

struct TcpTest : ::testing::Test {
  LoopbackListener listener;
  SOCKET peer = INVALID_SOCKET;

  void SetUp() override { ResetLink(); }
  void TearDown() override {
    CloseTcp();
    CloseSocket(&peer);
    CloseSocket(&listener.socket);
  }
  // Opens the transport to a listener of our own and takes the other end.
  void ConnectToOwnPeer() {
    ASSERT_TRUE(Listen(&listener, 4));
    UseTcp(listener.port);
    ASSERT_EQ(0, OpenChosenTcp());
    peer = accept(listener.socket, nullptr, nullptr);
    ASSERT_NE(INVALID_SOCKET, peer);
  }
};

TEST_F(TcpTest, RefusedConnectionFailsAtOnceAndDrainsNothing) {
  uint8_t drained[1024];
  EXPECT_EQ(0, DrainTcp(drained));  // no transport at all
  UseTcp(UnusedPort());
  DWORD start = GetTickCount();
  EXPECT_EQ(-1, OpenChosenTcp());
  EXPECT_LT(GetTickCount() - start, 1000u);
  ASSERT_NE(nullptr, tcp_transport);  // the socket waits for the caller's close
  EXPECT_FALSE(tcp_transport->connected);
  EXPECT_EQ(0, DrainTcp(drained));
}

TEST_F(TcpTest, HandshakeThatNeverCompletesTimesOut) {
  // A backlog of 0 holds one finished handshake; further SYNs are dropped
  // unanswered, which is what a silent host looks like, on loopback.
  ASSERT_TRUE(Listen(&listener, 0));
  SOCKET filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(listener.port));
  ASSERT_EQ(0, connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address));
  UseTcp(listener.port);
  DWORD start = GetTickCount();
  EXPECT_EQ(-1, OpenChosenTcp());
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 2900u);
  EXPECT_LT(elapsed, 4000u);
  closesocket(filler);
}

TEST_F(TcpTest, BurstBeyondTheRingLosesNothingAndPeerCloseEndsTheReader) {
  ConnectToOwnPeer();
  std::vector<uint8_t> burst = Pattern(20000, 11);
  ASSERT_TRUE(SendAll(peer, burst));
  CloseSocket(&peer);
  Sleep(300);  // nobody drains: the ring fills and the reader holds the rest
  EXPECT_EQ(burst, DrainUntil(DrainTcp, burst.size(), 10000));
  // An orderly close ends the reader instead of leaving it spinning on recv.
  EXPECT_EQ(2u, ThreadExitCode(tcp_transport->reader.thread, 1000));
}

TEST_F(TcpTest, WritesWholeFramesAndCloseJoinsTheReader) {
  ConnectToOwnPeer();
  std::vector<uint8_t> frame = Pattern(1200, 5);
  EXPECT_GT(WriteTcp(frame.data(), static_cast<int>(frame.size())), 0);
  std::vector<uint8_t> got;
  char buffer[2048];
  WaitUntil(
      [&] {
        int n = recv(peer, buffer, sizeof buffer, 0);
        if (n > 0) got.insert(got.end(), buffer, buffer + n);
        return got.size() >= frame.size() || n <= 0;
      },
      3000);
  EXPECT_EQ(frame, got);

  ASSERT_TRUE(SendAll(peer, Pattern(100, 1)));
  ASSERT_TRUE(WaitUntil([] { return RingUnread(&tcp_transport->reader.ring) == 100; }, 3000));
  EXPECT_TRUE(CloseEndsThread(tcp_transport->reader.thread, CloseTcp));
  uint8_t drained[1024];
  EXPECT_EQ(0, DrainTcp(drained));
}

}  // namespace
