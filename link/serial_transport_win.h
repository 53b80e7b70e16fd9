// The byte pipe over a COM port (the instrument's USB virtual COM port).
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "link/receive_ring.h"

struct SerialTransport {
  HANDLE port_handle;  // INVALID_HANDLE_VALUE until opened
  HANDLE reader_thread;
  unsigned reader_thread_id;
  HANDLE mutex;  // guards ring
  ReceiveRing ring;
  std::atomic<bool> stop_requested;
};

// The one open serial transport, or null.
extern SerialTransport* serial_transport;

// 0, or -1 when the port cannot be opened and set up. A name that does not
// begin with "COM" opens nothing and gives 0: the link then finds no answer.
int OpenSerial(const char* com_port);
void CloseSerial();
int DrainSerial(uint8_t* destination);  // at most kRingCapacity bytes
int WriteSerial(const uint8_t* bytes, int count);
