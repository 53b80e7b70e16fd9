// A scripted instrument in the test process, on a loopback TCP listener: the
// simulator's own model answers, with the simulator's options, unless the
// test has put answers of its own in its place. It records every frame that
// arrives. Frames are built by the simulator's code, so that a fault in the
// program's codec is not mirrored here.
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_command_line.h"
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

// What answers; a test may change it while the fake runs.
struct FakeScript {
  // Its time stands still: it answers at once (--delay would hold answers for
  // ever), and its clock reads as last set.
  InstrumentModel model;
  // Answers in the model's place, by command: the data of a reply, or none at all.
  std::map<uint8_t, std::optional<Bytes>> answers;
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
  }

  // Listens on 127.0.0.1 at a free port, one connection at a time, and
  // answers as the simulator started with these options would. Its clock
  // reads 2024/3/5 14:07:09.
  bool Start(std::vector<const char*> options = {}) {
    options.insert(options.begin(), {"", "--tcp-port", "0", "--clock", "2024-03-05 14:07:09"});
    SimCommandLine line;
    std::string error;
    if (listener_ != INVALID_SOCKET ||
        !ParseSimCommandLine(static_cast<int>(options.size()), options.data(), &line, &error) ||
        (listener_ = ListenOnLoopback(4, &port)) == INVALID_SOCKET) {
      return false;
    }
    InitModel(&script_.model, line.options, line.clock_seconds);
    thread_ = std::thread(&FakeInstrument::Serve, this);
    return true;
  }

  void Change(const std::function<void(FakeScript&)>& change) {
    Locked([&] { change(script_); });
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

  // Records the complete frames at the front of pending and returns the
  // model's answers, or the test's instead; the rest waits for more bytes.
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
      const auto answer = script_.answers.find(raw[1]);
      if (answer == script_.answers.end()) {
        ModelReceive(&script_.model, 0, raw.data(), static_cast<int>(raw.size()));
        TakeDueAnswers(&script_.model, 0, &answers);
      } else if (answer->second) {
        const Bytes reply = BuildFrame(0x55, raw[1], 0, *answer->second);
        answers.insert(answers.end(), reply.begin(), reply.end());
      }
    }
    script_.model.log.clear();  // the simulator's file log
    return answers;
  }

  // One connection after the other, until the listener is closed.
  void Serve() {
    for (SOCKET client; (client = accept(listener_, nullptr, nullptr)) != INVALID_SOCKET;) {
      Locked([&] {
        client_ = client;
        ++connections_;
        ForgetLink(&script_.model, 0);  // nothing of one connection reaches the next
      });
      Bytes pending;
      char buffer[2048];
      for (int got; (got = recv(client, buffer, sizeof buffer, 0)) > 0;) {
        pending.insert(pending.end(), buffer, buffer + got);
        const Bytes answers = Locked([&] { return TakeFrames(pending); });
        send(client, reinterpret_cast<const char*>(answers.data()),
             static_cast<int>(answers.size()), 0);
      }
      Locked([&] {
        closesocket(client);
        client_ = INVALID_SOCKET;
      });
    }
  }

  std::mutex lock_;  // all of it; only Serve writes client_
  FakeScript script_;
  std::vector<Frame> frames_;
  int connections_ = 0;
  SOCKET listener_ = INVALID_SOCKET;
  SOCKET client_ = INVALID_SOCKET;
  std::thread thread_;
};

}  // namespace e2e
