// The byte pipe over a COM port (the instrument's USB virtual COM port).
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "link/reader_thread_win.h"

// Frames waiting for the port. Far more than the commands of a few seconds,
// so only a port that has stopped taking bytes ever fills it.
constexpr int kOutgoingSize = 4096;

// No answer from an idle port for this long and it is asked whether it is still there.
constexpr DWORD kQuietCheckMs = 1000;

struct SerialTransport {
  HANDLE port_handle;  // INVALID_HANDLE_VALUE until opened
  // One thread does the port's reads and writes, so a port that will not take
  // bytes (CTS held low, a hung device) never holds up the caller.
  ReaderThread reader;
  HANDLE send_event;                // auto reset: outgoing has bytes
  uint8_t outgoing[kOutgoingSize];  // guarded by reader.lock
  int outgoing_count;
  uint8_t sending[kOutgoingSize];  // the port's thread only
  std::atomic<bool> port_failed;   // the device is gone: nothing more is queued
};

// How long one write may take before it is given up: the port's former write
// time-out (1000 ms plus 10 ms a byte).
constexpr DWORD WriteLimitMs(int count) {
  return 1000 + 10 * static_cast<DWORD>(count);
}

struct LinkEvents;

// The open transport, or null with the reason and nothing left open. A name
// that does not begin with "COM" opens no port: every write is refused, so
// the link finds no answer.
SerialTransport* OpenSerial(const char* com_port, const LinkEvents& events, std::string* reason);
void CloseSerial(void* transport);
// At most kRingCapacity bytes; -1 once the port has failed (unplugged).
int DrainSerial(void* transport, uint8_t* destination);
// Queues the frame for the port's thread: 0, or -1 when the port has failed
// or the frame does not fit (then none of it is sent).
int WriteSerial(void* transport, const uint8_t* bytes, int count);
