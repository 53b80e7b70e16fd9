// Opening and closing many times must leave no thread and no handle behind.
#include <gtest/gtest.h>

// clang-format off
#include "tests/transport/transport_env_win.h"
#include "link/serial_transport_win.h"
#include "link/tcp_transport_win.h"
// clang-format on

namespace {

constexpr int kRounds = 200;

void CheckNothingLeaks(int (*open)(), void (*close)()) {
  ASSERT_EQ(0, open());  // first use may set up lasting runtime state
  close();
  int threads = CountOwnThreads();
  DWORD handles = CountOwnHandles();
  for (int i = 0; i < kRounds; ++i) {
    ASSERT_EQ(0, open()) << "round " << i;
    close();
  }
  EXPECT_EQ(threads, CountOwnThreads());
  EXPECT_EQ(handles, CountOwnHandles());
}

TEST(RepeatedOpen, SerialLeavesNothingBehind) {
  ResetLink();
  std::string port = EnvText("RV_ECHO_COM");
  ASSERT_FALSE(port.empty()) << "RV_ECHO_COM is not set; run through the runner script";
  UseSerial(port);
  CheckNothingLeaks(OpenChosenSerial, CloseSerial);
}

TEST(RepeatedOpen, TcpLeavesNothingBehind) {
  ResetLink();
  int port = EnvPort("RV_ECHO_TCP_PORT");
  ASSERT_NE(0, port) << "RV_ECHO_TCP_PORT is not set; run through the runner script";
  UseTcp(port);
  CheckNothingLeaks(OpenChosenTcp, CloseTcp);
}

}  // namespace
