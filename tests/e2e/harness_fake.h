// A scripted instrument in the test process, on a loopback TCP listener. It
// records every frame that arrives and answers like a good instrument unless a
// test says otherwise. Frames are built by the simulator's own code, so that a
// fault in the program's codec is not mirrored here.
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_frame.h"
#include "tests/e2e/harness.h"

namespace e2e {

using Bytes = std::vector<uint8_t>;

inline std::string Hex(const Bytes& bytes) {
  return HexBytes(bytes.data(), static_cast<int>(bytes.size()));
}

struct Frame {  // as the program sent it
  uint8_t command = 0;
  Bytes data;
  Bytes raw;
};

struct FakeBehaviour {
  bool silent = false;  // answers nothing at all
  int delay_ms = 0;     // every answer goes out this late, and the next frame waits for it
  uint8_t version_status = 0;
  uint8_t serial_status = 0;
  uint8_t device_code = 2;
  // The live report of 0xC2 (mode, type, code high and low byte), set by 0xC1.
  Bytes live = {0, 0, 0, 0};
  // Clock read by 0x41, replaced by 0x40: year-2000, month, day, h, m, s.
  Bytes clock = {24, 3, 5, 14, 7, 9};
  // Checked first: return true to answer with *answer (empty: no answer).
  std::function<bool(const Frame& request, Bytes* answer)> custom = nullptr;

  // The answer of a good instrument, shaped by the fields above.
  Bytes AnswerTo(const Frame& request) {
    Bytes answer;
    if (custom && custom(request, &answer)) return answer;
    if (silent) return {};
    const uint8_t code = request.command;
    const Bytes& data = request.data;
    if (code == 0x10) return BuildFrame(0x55, 0x10, 0, {});
    if (code == 0x40 && data.size() == 6) clock = data;
    if (code == 0x41) return BuildFrame(0x55, 0x41, 0, clock);
    if (code == 0x42) return BuildFrame(0x55, 0x42, version_status, {device_code, 1, 5, 0, 0, 0});
    if (code == 0x43)
      return BuildFrame(0x55, 0x43, serial_status, {'E', '2', 'E', '0', '0', '0', '4', '2'});
    if (code == 0xC1 && data.size() == 3) live = {0, data[0], data[1], data[2]};
    if (code == 0xC2) return BuildFrame(0x55, 0xC2, 0, live);
    return BuildFrame(0xAA, code, 0, {});  // an acknowledgement
  }
};

class FakeInstrument {
 public:
  int port = 0;  // the listener's, once started

  FakeInstrument() = default;
  FakeInstrument(const FakeInstrument&) = delete;
  FakeInstrument& operator=(const FakeInstrument&) = delete;
  ~FakeInstrument() {
    Drop();
    closesocket(listener_);
    if (thread_.joinable()) thread_.join();
    if (listener_ != INVALID_SOCKET) WSACleanup();
  }

  // Listens on 127.0.0.1 at a free port; one connection at a time.
  bool Start(const FakeBehaviour& behaviour = {}) {
    WSADATA wsa;
    if (listener_ != INVALID_SOCKET || WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return false;
    behaviour_ = behaviour;
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only, never any other
    int size = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      return false;  // the destructor cleans up
    }
    port = ntohs(address.sin_port);
    thread_ = std::thread(&FakeInstrument::Serve, this);
    return true;
  }

  // Changes the behaviour while it runs.
  void Change(const std::function<void(FakeBehaviour&)>& change) {
    Locked([&] { change(behaviour_); });
  }
  // What has come so far.
  std::vector<Frame> Frames() {
    return Locked([&] { return frames_; });
  }
  std::vector<uint8_t> Commands() {
    std::vector<uint8_t> commands;
    for (const Frame& frame : Frames()) commands.push_back(frame.command);
    return commands;
  }
  int Count(uint8_t command) { return static_cast<int>(std::ranges::count(Commands(), command)); }
  // Waits until a frame with this command has come; fills *frame when given.
  bool WaitFor(uint8_t command, int timeout_ms, Frame* frame = nullptr) {
    return WaitUntil(
        [&] {
          const std::vector<Frame> frames = Frames();
          auto found = std::ranges::find(frames, command, &Frame::command);
          if (found != frames.end() && frame != nullptr) *frame = *found;
          return found != frames.end();
        },
        timeout_ms);
  }
  void Clear() {
    Locked([&] { frames_.clear(); });
  }
  // Closes the connection, as a peer that goes away.
  void Drop() {
    Locked([&] {
      if (client_ != INVALID_SOCKET) shutdown(client_, SD_BOTH);
    });
  }
  int Connections() {  // accepted so far
    return Locked([&] { return connections_; });
  }
  bool PeerConnected() {
    return Locked([&] { return client_ != INVALID_SOCKET; });
  }

 private:
  template <class F>
  auto Locked(F f) -> decltype(f()) {
    std::lock_guard<std::mutex> hold(lock_);
    return f();
  }

  // Records and answers the complete frames at the front of pending; the rest
  // waits for more bytes. A frame with a wrong checksum gets no answer.
  Bytes TakeFrames(Bytes& pending) {
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
      const Bytes answer = behaviour_.AnswerTo(frames_.back());
      answers.insert(answers.end(), answer.begin(), answer.end());
    }
    return answers;
  }

  // One connection after the other, until the listener is closed.
  void Serve() {
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
        Locked([&] {
          send(client, reinterpret_cast<const char*>(answers.data()),
               static_cast<int>(answers.size()), 0);
        });
      }
      Locked([&] {
        closesocket(client);
        client_ = INVALID_SOCKET;
      });
    }
  }

  std::mutex lock_;  // all of it; only Serve writes client_
  FakeBehaviour behaviour_;
  std::vector<Frame> frames_;
  int connections_ = 0;
  SOCKET listener_ = INVALID_SOCKET;
  SOCKET client_ = INVALID_SOCKET;
  std::thread thread_;
};

}  // namespace e2e
