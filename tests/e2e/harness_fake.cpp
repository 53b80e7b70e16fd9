// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include "tests/e2e/harness_fake.h"

#include <algorithm>
#include <mutex>
#include <thread>

#include "tests/e2e/harness_program.h"

namespace e2e {

struct FakeState {
  std::mutex lock;  // all of it; only the I/O thread writes client
  FakeBehaviour behaviour;
  std::vector<Frame> frames;
  int connections = 0;
  SOCKET listener = INVALID_SOCKET;
  SOCKET client = INVALID_SOCKET;
  std::thread thread;
};

namespace {

// The answer of a good instrument, shaped by the test's behaviour.
Bytes AnswerFor(const Frame& request, FakeBehaviour& b) {
  Bytes answer;
  if (b.custom && b.custom(request, &answer)) return answer;
  if (b.silent) return {};
  const Bytes& data = request.data;
  switch (request.command) {
    case 0x10:
      return BuildFrame(0x55, 0x10, 0, {});
    case 0x40:
      if (data.size() == 6) b.clock = data;
      break;
    case 0x41:
      return BuildFrame(0x55, 0x41, 0, b.clock);
    case 0x42:
      return BuildFrame(0x55, 0x42, b.version_status, {b.device_code, 1, 5, 0, 0, 0});
    case 0x43:
      return BuildFrame(0x55, 0x43, b.serial_status, {'E', '2', 'E', '0', '0', '0', '4', '2'});
    case 0xC1:
      if (data.size() == 3) b.live = {0, data[0], data[1], data[2]};
      break;
    case 0xC2:
      return BuildFrame(0x55, 0xC2, 0, b.live);
  }
  return BuildFrame(0xAA, request.command, 0, {});  // an acknowledgement
}

// Records and answers the complete frames at the front of pending; the rest
// waits for more bytes. A frame with a wrong checksum gets no answer.
Bytes TakeFrames(FakeState* s, Bytes& pending) {
  Bytes answers;
  while (pending.size() >= 6) {
    const size_t size = ((size_t{pending[3]} << 8) | pending[4]) + 6;
    if (pending[0] != 0xAA || size > 1024) {  // noise before a start byte is skipped
      pending.erase(pending.begin());
      continue;
    }
    if (pending.size() < size) break;
    const Bytes raw(pending.begin(), pending.begin() + size);
    pending.erase(pending.begin(), pending.begin() + size);
    s->frames.push_back({raw[1], Bytes(raw.begin() + 5, raw.end() - 1), raw});
    const Frame& frame = s->frames.back();
    if (BuildFrame(0xAA, frame.command, raw[2], frame.data) != raw) continue;
    const Bytes answer = AnswerFor(frame, s->behaviour);
    answers.insert(answers.end(), answer.begin(), answer.end());
  }
  return answers;
}

void SendAll(SOCKET socket, const Bytes& bytes) {
  send(socket, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0);
}

// One connection after the other, until the listener is closed.
void Serve(FakeState* s) {
  for (SOCKET client; (client = accept(s->listener, nullptr, nullptr)) != INVALID_SOCKET;) {
    {
      std::lock_guard<std::mutex> hold(s->lock);
      s->client = client;
      ++s->connections;
    }
    Bytes pending;  // nothing of one connection reaches the next
    char buffer[2048];
    for (int got; (got = recv(client, buffer, sizeof buffer, 0)) > 0;) {
      pending.insert(pending.end(), buffer, buffer + got);
      std::unique_lock<std::mutex> hold(s->lock);
      const Bytes answers = TakeFrames(s, pending);
      const int delay_ms = answers.empty() ? 0 : s->behaviour.delay_ms;
      hold.unlock();
      Sleep(delay_ms);
      hold.lock();
      SendAll(client, answers);
    }
    std::lock_guard<std::mutex> hold(s->lock);
    closesocket(client);
    s->client = INVALID_SOCKET;
  }
}

}  // namespace

FakeInstrument::~FakeInstrument() {
  if (state == nullptr) return;
  DropConnection(*this);
  closesocket(state->listener);
  if (state->thread.joinable()) state->thread.join();
  WSACleanup();
  delete state;
}

bool StartFakeTcp(FakeInstrument& fake, const FakeBehaviour& behaviour) {
  WSADATA wsa;
  if (fake.state != nullptr || WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return false;
  fake.state = new FakeState;
  fake.state->behaviour = behaviour;
  SOCKET& listener = fake.state->listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only, never any other
  int size = sizeof address;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 4) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return false;  // the destructor cleans up
  }
  fake.port = ntohs(address.sin_port);
  fake.state->thread = std::thread(Serve, fake.state);
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
        const std::vector<Frame> frames = ReceivedFrames(fake);
        auto found = std::find_if(frames.begin(), frames.end(),
                                  [&](const Frame& f) { return f.command == command; });
        if (found != frames.end() && frame != nullptr) *frame = *found;
        return found != frames.end();
      },
      timeout_ms);
}

void ClearReceived(FakeInstrument& fake) {
  std::lock_guard<std::mutex> hold(fake.state->lock);
  fake.state->frames.clear();
}

void DropConnection(FakeInstrument& fake) {
  std::lock_guard<std::mutex> hold(fake.state->lock);
  if (fake.state->client != INVALID_SOCKET) shutdown(fake.state->client, SD_BOTH);
}

void SendRaw(FakeInstrument& fake, const Bytes& bytes) {
  std::lock_guard<std::mutex> hold(fake.state->lock);
  if (fake.state->client != INVALID_SOCKET) SendAll(fake.state->client, bytes);
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
