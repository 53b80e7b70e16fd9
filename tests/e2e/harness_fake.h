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
};

class FakeInstrument {
 public:
  int port = 0;  // the listener's, once started

  FakeInstrument() = default;
  FakeInstrument(const FakeInstrument&) = delete;
  FakeInstrument& operator=(const FakeInstrument&) = delete;
  ~FakeInstrument();

  // Listens on 127.0.0.1 at a free port; one connection at a time.
  bool Start(const FakeBehaviour& behaviour = {});
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
  bool WaitFor(uint8_t command, int timeout_ms, Frame* frame = nullptr);
  void Clear() {
    Locked([&] { frames_.clear(); });
  }
  void Drop();  // closes the connection, as a peer that goes away
  // Sends bytes now, whatever was asked; nothing when no peer is connected.
  void SendRaw(const Bytes& bytes);
  int Connections() {
    return Locked([&] { return connections_; });
  }  // accepted so far
  bool PeerConnected() {
    return Locked([&] { return client_ != kNoSocket; });
  }

 private:
  static constexpr uintptr_t kNoSocket = ~uintptr_t{0};  // INVALID_SOCKET

  template <class F>
  auto Locked(F f) -> decltype(f()) {
    std::lock_guard<std::mutex> hold(lock_);
    return f();
  }
  void Serve();
  Bytes TakeFrames(Bytes& pending);

  std::mutex lock_;  // all of it; only Serve writes client_
  FakeBehaviour behaviour_;
  std::vector<Frame> frames_;
  int connections_ = 0;
  uintptr_t listener_ = kNoSocket;
  uintptr_t client_ = kNoSocket;
  std::thread thread_;
};

}  // namespace e2e
