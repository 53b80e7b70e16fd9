// A scripted instrument in the test process, on a loopback TCP listener. It
// records every frame that arrives and answers like a good instrument unless a
// test says otherwise. Frames are built by the simulator's own code, so that a
// fault in the program's codec is not mirrored here.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/sim_frame.h"

namespace e2e {

using Bytes = std::vector<uint8_t>;

struct Frame {  // as the program sent it
  uint8_t command = 0;
  Bytes data;
  Bytes raw;
};

inline std::string Hex(const Bytes& bytes) {
  return HexBytes(bytes.data(), static_cast<int>(bytes.size()));
}

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
  std::function<bool(const Frame& request, Bytes* answer)> custom;
};

struct FakeState;  // the I/O thread's side

struct FakeInstrument {
  FakeState* state = nullptr;
  int port = 0;  // the TCP listener's port, once started
  FakeInstrument() = default;
  FakeInstrument(const FakeInstrument&) = delete;
  FakeInstrument& operator=(const FakeInstrument&) = delete;
  ~FakeInstrument();
};

// Listens on 127.0.0.1 at a free port (fake.port); one connection at a time.
bool StartFakeTcp(FakeInstrument& fake, const FakeBehaviour& behaviour = {});
// Changes the behaviour while it runs.
void ChangeBehaviour(FakeInstrument& fake, const std::function<void(FakeBehaviour&)>& change);

// What has come so far (nothing for a fake never started).
std::vector<Frame> ReceivedFrames(const FakeInstrument& fake);
std::vector<uint8_t> ReceivedCommands(const FakeInstrument& fake);
int CountCommand(const FakeInstrument& fake, uint8_t command);
// Waits until a frame with this command has come; fills *frame when given.
bool WaitForCommand(const FakeInstrument& fake, uint8_t command, int timeout_ms,
                    Frame* frame = nullptr);
void ClearReceived(FakeInstrument& fake);
void DropConnection(FakeInstrument& fake);
// Sends bytes now, whatever was asked; nothing when no peer is connected.
void SendRaw(FakeInstrument& fake, const Bytes& bytes);
int ConnectionCount(const FakeInstrument& fake);  // connections accepted so far
bool PeerConnected(const FakeInstrument& fake);

}  // namespace e2e
