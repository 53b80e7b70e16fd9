// The Win32 transports under Wine, against the simulators of the run's Wine
// session (tests/wine-session.sh: a loopback plug on TCP and a pty, a pty that
// vanishes after its first answer, one that is never read, one that stalls
// after each identification) and loopback sockets of our own.
#include <gtest/gtest.h>
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// clang-format off
#include "link/tcp_transport_win.h"  // first: it brings winsock2.h ahead of windows.h
#include "link/serial_transport_win.h"
// clang-format on
#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_session.h"
#include "link/transports.h"
#include "tests/e2e/harness.h"

namespace {

using Bytes = std::vector<uint8_t>;
using e2e::Env;
using e2e::WaitUntil;

// Bytes without a repeating stretch, so that a lost or doubled piece shows.
Bytes Pattern(size_t count, uint32_t state) {
  Bytes bytes(count);
  for (uint8_t& b : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b = static_cast<uint8_t>(state);
  }
  return bytes;
}

// The threads and the handles this process holds.
std::pair<int, DWORD> OwnThreadsAndHandles() {
  std::pair<int, DWORD> count = {0, 0};
  GetProcessHandleCount(GetCurrentProcess(), &count.second);
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    count.first += entry.th32OwnerProcessID == GetCurrentProcessId();
  }
  CloseHandle(snapshot);
  return count;
}

DWORD ThreadExitCode(HANDLE thread, int timeout_ms) {  // STILL_ACTIVE when it runs on
  DWORD code = STILL_ACTIVE;
  WaitUntil([&] { return GetExitCodeThread(thread, &code) && code != STILL_ACTIVE; }, timeout_ms);
  return code;
}

LinkSession session;  // large: not on the stack

LinkAddress Serial(const char* variable) {
  LinkAddress address;
  address.device = Env(variable);
  return address;
}

LinkAddress Tcp(int port) {
  LinkAddress address;
  address.tcp = true;
  address.host = "127.0.0.1";
  address.port = static_cast<uint16_t>(port);
  return address;
}

int Open(const LinkAddress& address) {
  std::string reason;
  return OpenLink(&session, address, &reason);
}

int Write(const uint8_t* bytes, int count) {
  return session.transport.write(session.transport.context, bytes, count);
}

// Either transport, opened to the loopback plug.
struct Transport {
  const char* name;
  std::function<LinkAddress()> address;
  bool serial;

  int open() const { return Open(address()); }
  void close() const { CloseTransport(&session); }
  ReaderThread* reader() const {
    void* context = session.transport.context;
    return serial ? &static_cast<SerialTransport*>(context)->reader
                  : &static_cast<TcpTransport*>(context)->reader;
  }
  Bytes DrainUntil(size_t wanted, int timeout_ms) const {
    Bytes received;
    uint8_t chunk[kRingCapacity];
    WaitUntil(
        [&] {
          const LinkTransport& t = session.transport;
          const int got = t.drain != nullptr ? t.drain(t.context, chunk) : 0;
          if (got > 0) received.insert(received.end(), chunk, chunk + got);
          return received.size() >= wanted;
        },
        timeout_ms);
    return received;
  }
};

const Transport kSerial = {"serial", [] { return Serial("RV_ECHO_COM"); }, true};
const Transport kTcp = {"tcp", [] { return Tcp(std::atoi(Env("RV_ECHO_TCP_PORT").c_str())); },
                        false};

// 3000 bytes pass the ring (1023) and the chunk its reader holds while the
// ring is full (1024): the rest waits in the port or the socket.
TEST(Transports, EchoedBurstLosesNothingAndCloseJoinsTheReaderDropsUnreadBytesAndLeavesNothing) {
  for (const Transport& t : {kSerial, kTcp}) {
    SCOPED_TRACE(t.name);
    ASSERT_EQ(0, t.open());
    const Bytes burst = Pattern(3000, 7);
    ASSERT_EQ(0, Write(burst.data(), static_cast<int>(burst.size())));
    Sleep(300);  // nobody drains: the ring fills and the reader holds the rest
    EXPECT_EQ(burst, t.DrainUntil(burst.size(), 5000));

    const Bytes unread = Pattern(100, 3);
    Write(unread.data(), 100);
    ASSERT_TRUE(WaitUntil([&] { return RingUnread(&t.reader()->ring) == 100; }, 3000));
    // The reader has ended before the port or socket is released.
    HANDLE reader = nullptr;
    DuplicateHandle(GetCurrentProcess(), t.reader()->thread, GetCurrentProcess(), &reader,
                    SYNCHRONIZE, FALSE, 0);
    t.close();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(reader, 0));
    CloseHandle(reader);
    ASSERT_EQ(0, t.open());
    EXPECT_EQ(0u, t.DrainUntil(1, 50).size());
    t.close();

    // Once used (first use may set up lasting runtime state), more rounds
    // leave no thread and no handle behind.
    const std::pair<int, DWORD> before = OwnThreadsAndHandles();
    for (int round = 0; round < 200; ++round) {
      ASSERT_EQ(0, t.open()) << "round " << round;
      t.close();
    }
    EXPECT_EQ(before, OwnThreadsAndHandles());
  }
}

TEST(SerialTransport, ReaderEndsWhenTheDeviceDisappears) {
  ASSERT_EQ(0, Open(Serial("RV_UNPLUGGED_COM")));
  const uint8_t connect[6] = {0xAA, 0x10, 0, 0, 0, 0xBB};
  ASSERT_EQ(0, Write(connect, 6));
  EXPECT_EQ(6u, kSerial.DrainUntil(6, 3000).size());
  EXPECT_EQ(1u, ThreadExitCode(kSerial.reader()->thread, 3000));
  uint8_t rest[kRingCapacity];
  EXPECT_EQ(-1, session.transport.drain(session.transport.context, rest));  // its end is told
  EXPECT_EQ(-1, Write(connect, 6));
  kSerial.close();
}

TEST(SerialTransport, AStalledPortNeverHoldsTheCaller) {
  ASSERT_EQ(0, Open(Serial("RV_STALLED_COM")));
  // Nothing is read at the far end, so the pty fills and then the queue.
  const Bytes frame = Pattern(64, 1);
  int accepted = 0;
  for (int i = 0; i < 2000; ++i) {
    const DWORD start = GetTickCount();
    const int written = Write(frame.data(), static_cast<int>(frame.size()));
    EXPECT_LT(GetTickCount() - start, 100u) << "write " << i;
    if (written != 0) break;
    ++accepted;
  }
  EXPECT_LT(accepted, 2000) << "the queue never filled";
  const DWORD start = GetTickCount();
  kSerial.close();
  EXPECT_LT(GetTickCount() - start, 1000u);
}

// The port takes no bytes for a while after an identification, as a device
// that holds CTS low: the pty fills, a write outlasts its limit and is given
// up with the queue behind it. Once the port moves again, the next command
// goes out and is answered, and nothing of the dropped queue is.
TEST(SerialTransport, TheNextCommandAfterAStallIsSentAndAnswered) {
  if (e2e::kStallingComPort.empty()) GTEST_SKIP() << "no simulator";
  InitLinkSession(&session);
  ASSERT_EQ(0, Open(Serial("RV_STALLS_COM")));
  ASSERT_EQ(0, IdentifyInstrument(&session));
  const DWORD stall_start = GetTickCount();
  // One small write at a time, until one is held: the pty is full. No start
  // byte in it, so the instrument reads it as noise later.
  const Bytes noise(64, 0);
  auto queue_empties = [](DWORD ms) {
    const SerialTransport* port = static_cast<SerialTransport*>(session.transport.context);
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(0)) {
      if (port->outgoing_count == 0) return true;
    }
    return false;
  };
  bool held = false;
  for (int i = 0; i < 10000 && !held; ++i) {
    ASSERT_EQ(0, Write(noise.data(), 64));
    held = !queue_empties(300);
  }
  ASSERT_TRUE(held) << "the port never stopped taking bytes";
  const Bytes get_clock = {0xAA, CMD_GET_CLOCK, 0, 0, 0, 0xEC};
  ASSERT_EQ(0, Write(get_clock.data(), 6));
  EXPECT_TRUE(queue_empties(WriteLimitMs(64) + 1000)) << "the held write was never given up";
  EXPECT_LT(GetTickCount() - stall_start, static_cast<DWORD>(e2e::kStallMs)) << "stall too short";

  Sleep(e2e::kStallMs + 300 - std::min<DWORD>(GetTickCount() - stall_start, e2e::kStallMs));
  EXPECT_EQ(0, SendCommandAndWait(&session, CMD_CONNECT, 0, nullptr));
  EXPECT_EQ(0, session.reply_records[CMD_GET_CLOCK].start_byte) << "a dropped command was answered";
  kSerial.close();
}

// A backlog of 0 holds one finished handshake; further SYNs are dropped
// unanswered, which is what a silent host looks like, on loopback. Either
// failed open says why and leaves nothing open.
TEST(TcpTransport, ARefusedConnectFailsAtOnceAndAnUnansweredOneAfterThreeSeconds) {
  int full_port = 0;
  int refused_port = 0;
  SOCKET full = e2e::ListenOnLoopback(0, &full_port);
  SOCKET filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  const sockaddr_in address = e2e::Loopback(full_port);
  ASSERT_EQ(0, connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof address));
  closesocket(e2e::ListenOnLoopback(1, &refused_port));  // nobody listens there any more
  EXPECT_EQ(0u, kTcp.DrainUntil(1, 0).size());           // no transport at all
  const struct {
    int port;
    DWORD min_ms, max_ms;
  } cases[] = {{refused_port, 0, 1000}, {full_port, 2900, 4000}};
  for (const auto& c : cases) {
    const DWORD start = GetTickCount();
    std::string reason;
    EXPECT_EQ(-1, OpenLink(&session, Tcp(c.port), &reason));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, c.min_ms);
    EXPECT_LT(elapsed, c.max_ms);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(nullptr, session.transport.write);
  }
  closesocket(filler);
  closesocket(full);
}

// An orderly close ends the reader, once the bytes before it are read,
// instead of leaving it spinning on recv.
TEST(TcpTransport, PeerCloseEndsTheReaderAfterItsLastBytes) {
  int port = 0;
  SOCKET listener = e2e::ListenOnLoopback(1, &port);
  ASSERT_EQ(0, Open(Tcp(port)));
  SOCKET peer = accept(listener, nullptr, nullptr);
  const Bytes last = Pattern(3000, 11);
  ASSERT_EQ(3000, send(peer, reinterpret_cast<const char*>(last.data()), 3000, 0));
  closesocket(peer);
  Sleep(300);  // nobody drains: the ring fills and the reader holds the rest
  EXPECT_EQ(last, kTcp.DrainUntil(last.size(), 5000));
  EXPECT_EQ(2u, ThreadExitCode(kTcp.reader()->thread, 1000));
  kTcp.close();
  closesocket(listener);
}

}  // namespace
