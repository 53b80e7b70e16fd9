// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include "tests/e2e/harness.h"

namespace e2e {

namespace {

const Bytes kSerial = {'E', '2', 'E', '0', '0', '0', '4', '2'};

// The answer of a good instrument, shaped by the test's behaviour.
Bytes AnswerFor(const Frame& request, FakeBehaviour& b) {
  Bytes answer;
  if (b.custom && b.custom(request, &answer)) return answer;
  if (b.silent) return {};
  const uint8_t code = request.command;
  const Bytes& data = request.data;
  if (code == 0x10) return BuildFrame(0x55, 0x10, 0, {});
  if (code == 0x40 && data.size() == 6) b.clock = data;
  if (code == 0x41) return BuildFrame(0x55, 0x41, 0, b.clock);
  if (code == 0x42) return BuildFrame(0x55, 0x42, b.version_status, {b.device_code, 1, 5, 0, 0, 0});
  if (code == 0x43) return BuildFrame(0x55, 0x43, b.serial_status, kSerial);
  if (code == 0xC1 && data.size() == 3) b.live = {0, data[0], data[1], data[2]};
  if (code == 0xC2) return BuildFrame(0x55, 0xC2, 0, b.live);
  return BuildFrame(0xAA, code, 0, {});  // an acknowledgement
}

void SendAll(uintptr_t socket, const Bytes& bytes) {
  send(socket, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0);
}

}  // namespace

// Records and answers the complete frames at the front of pending; the rest
// waits for more bytes. A frame with a wrong checksum gets no answer.
Bytes FakeInstrument::TakeFrames(Bytes& pending) {
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
    frames_.push_back({raw[1], Bytes(raw.begin() + 5, raw.end() - 1), raw});
    if (BuildFrame(0xAA, raw[1], raw[2], frames_.back().data) != raw) continue;
    const Bytes answer = AnswerFor(frames_.back(), behaviour_);
    answers.insert(answers.end(), answer.begin(), answer.end());
  }
  return answers;
}

// One connection after the other, until the listener is closed.
void FakeInstrument::Serve() {
  for (SOCKET client; (client = accept(listener_, nullptr, nullptr)) != INVALID_SOCKET;) {
    Locked([&] {
      client_ = client;
      ++connections_;
    });
    Bytes pending;  // nothing of one connection reaches the next
    char buffer[2048];
    for (int got; (got = recv(client, buffer, sizeof buffer, 0)) > 0;) {
      pending.insert(pending.end(), buffer, buffer + got);
      const Bytes answers = Locked([&] { return TakeFrames(pending); });
      Sleep(answers.empty() ? 0 : Locked([&] { return behaviour_.delay_ms; }));
      Locked([&] { SendAll(client, answers); });
    }
    Locked([&] {
      closesocket(client);
      client_ = kNoSocket;
    });
  }
}

FakeInstrument::~FakeInstrument() {
  Drop();
  closesocket(listener_);
  if (thread_.joinable()) thread_.join();
  if (listener_ != kNoSocket) WSACleanup();
}

bool FakeInstrument::Start(const FakeBehaviour& behaviour) {
  WSADATA wsa;
  if (listener_ != kNoSocket || WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return false;
  behaviour_ = behaviour;
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only, never any other
  int size = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 4) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return false;  // the destructor cleans up
  }
  port = ntohs(address.sin_port);
  thread_ = std::thread(&FakeInstrument::Serve, this);
  return true;
}

bool FakeInstrument::WaitFor(uint8_t command, int timeout_ms, Frame* frame) {
  return WaitUntil(
      [&] {
        const std::vector<Frame> frames = Frames();
        auto found = std::ranges::find(frames, command, &Frame::command);
        if (found != frames.end() && frame != nullptr) *frame = *found;
        return found != frames.end();
      },
      timeout_ms);
}

void FakeInstrument::Drop() {
  Locked([&] {
    if (client_ != kNoSocket) shutdown(client_, SD_BOTH);
  });
}

void FakeInstrument::SendRaw(const Bytes& bytes) {
  Locked([&] {
    if (client_ != kNoSocket) SendAll(client_, bytes);
  });
}

}  // namespace e2e
