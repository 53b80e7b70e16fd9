// A scripted instrument in the test process, on a loopback TCP listener or on
// a COM port (the far end of the program's pty). It records every frame that
// arrives and answers like a good instrument unless a test says otherwise.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/harness_frames.h"

namespace e2e {

struct FakeBehaviour {
  bool silent = false;  // answers nothing at all
  int delay_ms = 0;     // every answer goes out this late
  uint8_t version_status = 0;
  uint8_t serial_status = 0;
  uint8_t device_code = 2;
  std::string serial = "E2E00042";  // the first 8 characters go out
  uint8_t live_mode = 0;
  uint8_t live_type = 0;
  int16_t live_code = 0;
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
// Serves the given COM port (FakeComPort(): the pty end facing the program's port).
bool StartFakeSerial(FakeInstrument& fake, const std::string& com_port,
                     const FakeBehaviour& behaviour = {});
void StopFake(FakeInstrument& fake);

// Changes the behaviour while it runs.
void ChangeBehaviour(FakeInstrument& fake, const std::function<void(FakeBehaviour&)>& change);

std::vector<Frame> ReceivedFrames(const FakeInstrument& fake);
std::vector<uint8_t> ReceivedCommands(const FakeInstrument& fake);
int CountCommand(const FakeInstrument& fake, uint8_t command);
// Waits until a frame with this command has come (the first one after
// `after` frames); fills *frame when given.
bool WaitForCommand(const FakeInstrument& fake, uint8_t command, int timeout_ms,
                    Frame* frame = nullptr, size_t after = 0);
void ClearReceived(FakeInstrument& fake);
void DropConnection(FakeInstrument& fake);
// Sends bytes now, whatever was asked; nothing when no peer is connected.
void SendRaw(FakeInstrument& fake, const Bytes& bytes);
int ConnectionCount(const FakeInstrument& fake);  // connections accepted so far
bool PeerConnected(const FakeInstrument& fake);

}  // namespace e2e
