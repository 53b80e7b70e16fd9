// The serial transport against echoing and vanishing ptys, each mapped to a
// Wine COM port by the runner script.
#include <gtest/gtest.h>

// clang-format off
#include "tests/transport/transport_env_win.h"
#include "link/serial_transport_win.h"
// clang-format on
#include "link/transports_win.h"

namespace {

struct SerialTest : ::testing::Test {
  void SetUp() override { ResetLink(); }
  void TearDown() override { CloseSerial(); }

  static std::string Port(const char* variable) {
    std::string port = EnvText(variable);
    if (port.empty()) ADD_FAILURE() << variable << " is not set; run through the runner script";
    return port;
  }
};

TEST_F(SerialTest, NamesThatCannotBeOpened) {
  // Lower case is not a COM name to this program, even for a port that exists.
  std::string real = Port("RV_ECHO_COM");
  std::string lower = "com" + real.substr(3);
  UseSerial(lower);
  EXPECT_EQ(0, OpenChosenSerial());
  ASSERT_NE(nullptr, serial_transport);
  EXPECT_EQ(INVALID_HANDLE_VALUE, serial_transport->port_handle);
  EXPECT_EQ(nullptr, serial_transport->reader.thread);
  uint8_t frame[6] = {0xAA, 0x10, 0, 0, 0, 0xBB};
  EXPECT_EQ(0, WriteSerial(frame, 6));
  uint8_t drained[1024];
  EXPECT_EQ(0, DrainSerial(drained));
  CloseSerial();

  UseSerial(Port("RV_MISSING_COM"));
  EXPECT_EQ(-1, OpenChosenSerial());
  ASSERT_NE(nullptr, serial_transport);  // stays for the caller's close
  EXPECT_EQ(INVALID_HANDLE_VALUE, serial_transport->port_handle);
  CloseSerial();
}

TEST_F(SerialTest, PortHeldElsewhereIsRefused) {
  std::string real = Port("RV_ECHO_COM");
  std::wstring path = L"\\\\.\\" + std::wstring(real.begin(), real.end());
  auto open_unshared = [&] {
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE held = open_unshared();
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  HANDLE probe = open_unshared();
  if (probe != INVALID_HANDLE_VALUE) {
    // Wine does not enforce share modes on serial devices; Windows does.
    CloseHandle(probe);
    CloseHandle(held);
    GTEST_SKIP() << "this platform lets a serial port be opened twice";
  }
  UseSerial(real);
  EXPECT_EQ(-1, OpenChosenSerial());
  CloseSerial();
  CloseHandle(held);
  EXPECT_EQ(0, OpenChosenSerial());  // and free again once released
}

// 3000 bytes pass the 1024-byte ring end several times.
TEST_F(SerialTest, BurstBeyondTheRingLosesNothing) {
  UseSerial(Port("RV_ECHO_COM"));
  ASSERT_EQ(0, OpenChosenSerial());
  std::vector<uint8_t> burst = Pattern(3000, 7);
  ASSERT_GT(WriteSerial(burst.data(), static_cast<int>(burst.size())), 0);
  Sleep(300);  // nobody drains: the ring fills and the reader holds the rest
  EXPECT_EQ(burst, DrainUntil(DrainSerial, burst.size(), 5000));
}

TEST_F(SerialTest, CloseJoinsTheReaderAndDropsUnreadBytes) {
  UseSerial(Port("RV_ECHO_COM"));
  ASSERT_EQ(0, OpenChosenSerial());
  std::vector<uint8_t> bytes = Pattern(100, 3);
  WriteSerial(bytes.data(), 100);
  ASSERT_TRUE(WaitUntil([] { return RingUnread(&serial_transport->reader.ring) == 100; }, 3000));
  // The reader has ended before the port is released.
  EXPECT_TRUE(CloseEndsThread(serial_transport->reader.thread, CloseSerial));
  ASSERT_EQ(0, OpenChosenSerial());
  Sleep(50);
  uint8_t drained[1024];
  EXPECT_EQ(0, DrainSerial(drained));
}

TEST_F(SerialTest, ReaderEndsWhenTheDeviceDisappears) {
  // This simulator closes its pty after the first answer, as an unplugged adapter would.
  UseSerial(Port("RV_GONE_COM"));
  ASSERT_EQ(0, OpenChosenSerial());
  uint8_t connect[6] = {0xAA, 0x10, 0, 0, 0, 0xBB};
  ASSERT_GT(WriteSerial(connect, 6), 0);
  EXPECT_EQ(6u, DrainUntil(DrainSerial, 6, 3000).size());
  EXPECT_EQ(1u, ThreadExitCode(serial_transport->reader.thread, 3000));
  EXPECT_EQ(0, WriteSerial(connect, 6));
}

TEST_F(SerialTest, AStalledPortNeverHoldsTheCaller) {
  UseSerial(Port("RV_STALLED_COM"));
  ASSERT_EQ(0, OpenChosenSerial());
  // Nothing is read at the far end, so the pty fills and then the queue.
  std::vector<uint8_t> frame = Pattern(64, 1);
  int accepted = 0;
  for (int i = 0; i < 2000; ++i) {
    const DWORD start = GetTickCount();
    const int written = WriteSerial(frame.data(), static_cast<int>(frame.size()));
    EXPECT_LT(GetTickCount() - start, 100u) << "write " << i;
    if (written == 0) break;
    ++accepted;
  }
  EXPECT_LT(accepted, 2000) << "the queue never filled";
  const DWORD start = GetTickCount();
  CloseSerial();
  EXPECT_LT(GetTickCount() - start, 1000u);
}

}  // namespace
