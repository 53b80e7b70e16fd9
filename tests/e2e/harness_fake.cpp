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

struct FakeState {
  std::mutex lock;  // all but the sockets, which only the I/O thread opens and closes
  FakeBehaviour behaviour;
  std::vector<Frame> frames;
  Bytes pending;  // the start of a frame still coming
  int connections = 0;
  std::atomic<bool> stop{false}, drop{false};
  std::thread thread;
  SOCKET listener = INVALID_SOCKET;
  SOCKET client = INVALID_SOCKET;
};

namespace {

Bytes Reply(uint8_t command, uint8_t status, const Bytes& data) {
  return BuildFrame(0x55, command, status, data);
}

// The answer of a good instrument, shaped by the test's behaviour.
Bytes AnswerFor(const Frame& request, FakeBehaviour& b) {
  Bytes answer;
  if (b.custom && b.custom(request, &answer)) return answer;
  if (b.silent) return {};
  const uint16_t live = static_cast<uint16_t>(b.live_code);
  switch (request.command) {
    case 0x10:
      return Reply(0x10, 0, {});
    case 0x40:
      if (request.data.size() == 6) b.clock = request.data;
      break;
    case 0x41:
      return Reply(0x41, 0, b.clock);
    case 0x42:
      return Reply(0x42, b.version_status, {b.device_code, 1, 5, 0, 0, 0});
    case 0x43:
      return Reply(0x43, b.serial_status, {'E', '2', 'E', '0', '0', '0', '4', '2'});
    case 0xC1:
      if (request.data.size() == 3) {
        b.live_type = request.data[0];
        b.live_code = static_cast<int16_t>((request.data[1] << 8) | request.data[2]);
        b.live_mode = 0;
      }
      break;
    case 0xC2:
      return Reply(0xC2, 0, {b.live_mode, b.live_type, uint8_t(live >> 8), uint8_t(live & 0xFF)});
  }
  return BuildFrame(0xAA, request.command, 0, {});  // an acknowledgement
}

// Takes the complete frames off the front of the pending bytes and answers
// them; what a bad checksum spoils gets no answer.
Bytes TakeFrames(FakeState* s) {
  Bytes answers;
  Bytes& p = s->pending;
  while (p.size() >= 6) {
    const size_t size = ((size_t{p[3]} << 8) | p[4]) + 6;
    if (p[0] != 0xAA || size > 1024) {  // noise before a start byte is skipped
      p.erase(p.begin());
      continue;
    }
    if (p.size() < size) break;
    Frame frame{p[1], Bytes(p.begin() + 5, p.begin() + size - 1),
                Bytes(p.begin(), p.begin() + size)};
    p.erase(p.begin(), p.begin() + size);
    s->frames.push_back(frame);
    if (BuildFrame(0xAA, frame.command, frame.raw[2], frame.data) != frame.raw) continue;
    const Bytes answer = AnswerFor(frame, s->behaviour);
    answers.insert(answers.end(), answer.begin(), answer.end());
  }
  return answers;
}

void SendAll(SOCKET socket, const Bytes& bytes) {
  if (socket != INVALID_SOCKET && !bytes.empty())
    send(socket, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0);
}

void CloseClient(FakeState* s) {
  std::lock_guard<std::mutex> hold(s->lock);
  closesocket(s->client);
  s->client = INVALID_SOCKET;
  s->pending.clear();  // nothing of this connection reaches the next
}

void Serve(FakeState* s) {
  while (!s->stop) {
    if (s->client != INVALID_SOCKET && s->drop.exchange(false)) CloseClient(s);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s->client != INVALID_SOCKET ? s->client : s->listener, &readable);
    timeval wait = {0, 5000};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
    if (s->client == INVALID_SOCKET) {
      const SOCKET client = accept(s->listener, nullptr, nullptr);
      std::lock_guard<std::mutex> hold(s->lock);
      s->client = client;
      s->connections += client != INVALID_SOCKET;
      continue;
    }
    char buffer[2048];
    const int got = recv(s->client, buffer, sizeof buffer, 0);
    if (got <= 0) {
      CloseClient(s);
      continue;
    }
    Bytes answers;
    int delay_ms = 0;
    {
      std::lock_guard<std::mutex> hold(s->lock);
      s->pending.insert(s->pending.end(), buffer, buffer + got);
      answers = TakeFrames(s);
      delay_ms = s->behaviour.delay_ms;
    }
    Sleep(answers.empty() ? 0 : delay_ms);
    std::lock_guard<std::mutex> hold(s->lock);
    SendAll(s->client, answers);
  }
  if (s->client != INVALID_SOCKET) CloseClient(s);
}

}  // namespace

FakeInstrument::~FakeInstrument() {
  if (state == nullptr) return;
  state->stop = true;
  state->thread.join();
  closesocket(state->listener);
  WSACleanup();
  delete state;
}

bool StartFakeTcp(FakeInstrument& fake, const FakeBehaviour& behaviour) {
  WSADATA wsa;
  if (fake.state != nullptr || WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return false;
  FakeState* s = new FakeState;
  s->behaviour = behaviour;
  s->listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only, never any other
  int size = sizeof address;
  if (bind(s->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(s->listener, 4) != 0 ||
      getsockname(s->listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    closesocket(s->listener);
    delete s;
    WSACleanup();
    return false;
  }
  fake.port = ntohs(address.sin_port);
  fake.state = s;
  s->thread = std::thread(Serve, s);
  return true;
}

void ChangeBehaviour(FakeInstrument& fake, const std::function<void(FakeBehaviour&)>& change) {
  std::lock_guard<std::mutex> hold(fake.state->lock);
  change(fake.state->behaviour);
}

std::vector<Frame> ReceivedFrames(const FakeInstrument& fake) {
  if (fake.state == nullptr) return {};
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

bool WaitForCommand(const FakeInstrument& fake, uint8_t command, int timeout_ms, Frame* frame) {
  return WaitUntil(
      [&] {
        for (const Frame& f : ReceivedFrames(fake)) {
          if (f.command != command) continue;
          if (frame != nullptr) *frame = f;
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
  fake.state->drop = true;
}

void SendRaw(FakeInstrument& fake, const Bytes& bytes) {
  std::lock_guard<std::mutex> hold(fake.state->lock);
  SendAll(fake.state->client, bytes);
}

int ConnectionCount(const FakeInstrument& fake) {
  std::lock_guard<std::mutex> hold(fake.state->lock);
  return fake.state->connections;
}

bool PeerConnected(const FakeInstrument& fake) {
  if (fake.state == nullptr) return false;
  std::lock_guard<std::mutex> hold(fake.state->lock);
  return fake.state->client != INVALID_SOCKET;
}

}  // namespace e2e
