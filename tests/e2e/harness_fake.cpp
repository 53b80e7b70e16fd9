// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "tests/e2e/harness.h"

namespace e2e {

struct PendingAnswer {
  uint64_t due_ms;
  Bytes bytes;
};

struct FakeState {
  std::mutex lock;
  FakeBehaviour behaviour;
  std::vector<Frame> frames;
  std::vector<PendingAnswer> outgoing;
  FrameReader reader;
  int connections = 0;
  bool peer = false;
  bool drop_requested = false;
  std::atomic<bool> stop{false};
  std::thread thread;
  SOCKET listener = INVALID_SOCKET;
  SOCKET client = INVALID_SOCKET;
  HANDLE com = INVALID_HANDLE_VALUE;
};

namespace {

Bytes VersionReply(const FakeBehaviour& b) {
  return Reply(0x42, b.version_status, {b.device_code, 1, 5, 0, 0, 0});
}

Bytes SerialReply(const FakeBehaviour& b) {
  Bytes data(b.serial.begin(), b.serial.end());
  data.resize(8, '0');
  return Reply(0x43, b.serial_status, data);
}

Bytes LiveReply(const FakeBehaviour& b) {
  const uint16_t code = static_cast<uint16_t>(b.live_code);
  return Reply(0xC2, 0,
               {b.live_mode, b.live_type, static_cast<uint8_t>(code >> 8),
                static_cast<uint8_t>(code & 0xFF)});
}

// The answer of a good instrument, shaped by the test's behaviour.
Bytes AnswerFor(const Frame& request, FakeBehaviour& b) {
  Bytes answer;
  if (b.custom && b.custom(request, &answer)) return answer;
  if (b.silent) return {};
  if (!request.checksum_ok) return {};
  switch (request.command) {
    case 0x10:
      return Reply(0x10, 0, {});
    case 0x40:
      if (request.data.size() == 6) b.clock = request.data;
      return Ack(0x40);
    case 0x41:
      return Reply(0x41, 0, b.clock);
    case 0x42:
      return VersionReply(b);
    case 0x43:
      return SerialReply(b);
    case 0xC1:
      if (request.data.size() == 3) {
        b.live_type = request.data[0];
        b.live_code = static_cast<int16_t>((request.data[1] << 8) | request.data[2]);
        b.live_mode = 0;
      }
      return Ack(0xC1);
    case 0xC2:
      return LiveReply(b);
    default:
      return Ack(request.command);
  }
}

void TakeBytes(FakeState* s, const uint8_t* bytes, int count) {
  std::lock_guard<std::mutex> hold(s->lock);
  const uint64_t now = NowMs();
  std::vector<Frame> frames;
  s->reader.Feed(bytes, count, &frames);
  for (const Frame& frame : frames) {
    s->frames.push_back(frame);
    Bytes answer = AnswerFor(frame, s->behaviour);
    if (!answer.empty()) s->outgoing.push_back({now + s->behaviour.delay_ms, answer});
  }
}

// Answers whose time has come, in order.
std::vector<Bytes> DueAnswers(FakeState* s) {
  std::lock_guard<std::mutex> hold(s->lock);
  std::vector<Bytes> due;
  const uint64_t now = NowMs();
  while (!s->outgoing.empty() && s->outgoing.front().due_ms <= now) {
    due.push_back(s->outgoing.front().bytes);
    s->outgoing.erase(s->outgoing.begin());
  }
  return due;
}

bool TakeDropRequest(FakeState* s) {
  std::lock_guard<std::mutex> hold(s->lock);
  const bool drop = s->drop_requested;
  s->drop_requested = false;
  if (drop) s->outgoing.clear();
  return drop;
}

void CloseClient(FakeState* s) {
  if (s->client != INVALID_SOCKET) closesocket(s->client);
  s->client = INVALID_SOCKET;
  std::lock_guard<std::mutex> hold(s->lock);
  s->peer = false;
  s->reader.pending.clear();
  s->outgoing.clear();  // nothing meant for this connection reaches the next
}

void TcpLoop(FakeState* s) {
  uint8_t buffer[2048];
  while (!s->stop) {
    fd_set readable;
    FD_ZERO(&readable);
    const SOCKET watched = s->client != INVALID_SOCKET ? s->client : s->listener;
    FD_SET(watched, &readable);
    timeval wait = {0, 5000};
    if (select(0, &readable, nullptr, nullptr, &wait) > 0) {
      if (s->client == INVALID_SOCKET) {
        s->client = accept(s->listener, nullptr, nullptr);
        if (s->client != INVALID_SOCKET) {
          std::lock_guard<std::mutex> hold(s->lock);
          ++s->connections;
          s->peer = true;
        }
      } else {
        const int got = recv(s->client, reinterpret_cast<char*>(buffer), sizeof buffer, 0);
        if (got <= 0) {
          CloseClient(s);
        } else {
          TakeBytes(s, buffer, got);
        }
      }
    }
    if (s->client == INVALID_SOCKET) continue;
    for (const Bytes& answer : DueAnswers(s)) {
      send(s->client, reinterpret_cast<const char*>(answer.data()), static_cast<int>(answer.size()),
           0);
    }
    if (TakeDropRequest(s)) CloseClient(s);
  }
  CloseClient(s);
}

void SerialLoop(FakeState* s) {
  uint8_t buffer[2048];
  while (!s->stop) {
    DWORD got = 0;
    if (ReadFile(s->com, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      TakeBytes(s, buffer, static_cast<int>(got));
    } else {
      Sleep(2);
    }
    for (const Bytes& answer : DueAnswers(s)) {
      DWORD written = 0;
      WriteFile(s->com, answer.data(), static_cast<DWORD>(answer.size()), &written, nullptr);
    }
    TakeDropRequest(s);  // a serial line cannot be dropped; answers are discarded
  }
}

}  // namespace

FakeInstrument::~FakeInstrument() {
  StopFake(*this);
}

bool StartFakeTcp(FakeInstrument& fake, const FakeBehaviour& behaviour) {
  StopFake(fake);
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return false;
  FakeState* s = new FakeState;
  s->behaviour = behaviour;
  s->listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only, never any other
  address.sin_port = 0;
  int size = sizeof address;
  if (s->listener == INVALID_SOCKET ||
      bind(s->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(s->listener, 4) != 0 ||
      getsockname(s->listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    if (s->listener != INVALID_SOCKET) closesocket(s->listener);
    delete s;
    WSACleanup();
    return false;
  }
  fake.port = ntohs(address.sin_port);
  fake.state = s;
  s->thread = std::thread(TcpLoop, s);
  return true;
}

bool StartFakeSerial(FakeInstrument& fake, const std::string& com_port,
                     const FakeBehaviour& behaviour) {
  StopFake(fake);
  const std::wstring path = L"\\\\.\\" + std::wstring(com_port.begin(), com_port.end());
  HANDLE com = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
  if (com == INVALID_HANDLE_VALUE) return false;
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (GetCommState(com, &dcb)) {
    dcb.BaudRate = 115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    SetCommState(com, &dcb);
  }
  COMMTIMEOUTS timeouts = {MAXDWORD, 0, 0, 0, 1000};  // reads return at once
  SetCommTimeouts(com, &timeouts);
  // Bytes an earlier test's program left in the line are not this test's.
  PurgeComm(com, PURGE_RXCLEAR | PURGE_TXCLEAR);
  FakeState* s = new FakeState;
  s->behaviour = behaviour;
  s->com = com;
  s->peer = true;
  fake.state = s;
  s->thread = std::thread(SerialLoop, s);
  return true;
}

void StopFake(FakeInstrument& fake) {
  FakeState* s = fake.state;
  if (s == nullptr) return;
  s->stop = true;
  if (s->thread.joinable()) s->thread.join();
  if (s->listener != INVALID_SOCKET) {
    closesocket(s->listener);
    WSACleanup();
  }
  if (s->com != INVALID_HANDLE_VALUE) CloseHandle(s->com);
  delete s;
  fake.state = nullptr;
  fake.port = 0;
}

void ChangeBehaviour(FakeInstrument& fake, const std::function<void(FakeBehaviour&)>& change) {
  std::lock_guard<std::mutex> hold(fake.state->lock);
  change(fake.state->behaviour);
}

std::vector<Frame> ReceivedFrames(const FakeInstrument& fake) {
  std::lock_guard<std::mutex> hold(fake.state->lock);
  return fake.state->frames;
}

std::vector<uint8_t> ReceivedCommands(const FakeInstrument& fake) {
  std::vector<uint8_t> commands;
  for (const Frame& frame : ReceivedFrames(fake)) commands.push_back(frame.command);
  return commands;
}

int CountCommand(const FakeInstrument& fake, uint8_t command) {
  const std::vector<uint8_t> commands = ReceivedCommands(fake);
  return static_cast<int>(std::count(commands.begin(), commands.end(), command));
}

bool WaitForCommand(const FakeInstrument& fake, uint8_t command, int timeout_ms, Frame* frame,
                    size_t after) {
  return WaitUntil(
      [&] {
        const std::vector<Frame> frames = ReceivedFrames(fake);
        for (size_t i = after; i < frames.size(); ++i) {
          if (frames[i].command != command) continue;
          if (frame != nullptr) *frame = frames[i];
          return true;
        }
        return false;
      },
      timeout_ms);
}

void ClearReceived(FakeInstrument& fake) {
  std::lock_guard<std::mutex> hold(fake.state->lock);
  fake.state->frames.clear();
}

void DropConnection(FakeInstrument& fake) {
  std::lock_guard<std::mutex> hold(fake.state->lock);
  fake.state->drop_requested = true;
}

void SendRaw(FakeInstrument& fake, const Bytes& bytes) {
  std::lock_guard<std::mutex> hold(fake.state->lock);
  if (fake.state->peer) fake.state->outgoing.push_back({NowMs(), bytes});
}

int ConnectionCount(const FakeInstrument& fake) {
  std::lock_guard<std::mutex> hold(fake.state->lock);
  return fake.state->connections;
}

bool PeerConnected(const FakeInstrument& fake) {
  std::lock_guard<std::mutex> hold(fake.state->lock);
  return fake.state->peer;
}

}  // namespace e2e
