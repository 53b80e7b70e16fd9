// The thread that moves a port's bytes into the receive ring, shared by the
// serial and TCP transports: its start and stop, the lock around the ring,
// and the chunk it holds while the ring is full.
#pragma once
#include <windows.h>

#include <cstdint>

#include "link/receive_ring.h"

struct ReaderThread {
  CRITICAL_SECTION lock;  // guards ring, and whatever the transport adds
  bool lock_ready;
  ReceiveRing ring;
  HANDLE stop_event;  // manual reset; set once, to end the thread
  HANDLE thread;
  unsigned thread_id;
  // Called on the reader's thread each time it stored bytes, so the front
  // end can parse them at once instead of at its next poll. May be null.
  void (*bytes_arrived)(void* context);
  void* arrival_context;
  bool ended;  // guarded by lock: the port or the peer is gone
};

// What a reader got from its port but could not store yet because the ring
// was full. Nothing new is read while it is held.
struct HeldChunk {
  uint8_t bytes[kRingSize];
  int offset;
  int count;
};

constexpr DWORD kHeldRetryMs = 10;

bool PrepareReader(ReaderThread* reader);  // the lock and the stop event
bool StartReader(ReaderThread* reader, unsigned(__stdcall* body)(void*), void* argument);
// Ends the thread and waits for it; frees what PrepareReader made.
void StopReader(ReaderThread* reader);
// At most kRingCapacity bytes; -1 once the reader has ended and the ring is empty.
int DrainReader(ReaderThread* reader, uint8_t* destination);
// The reader's thread marks the end of its port or peer.
void MarkReaderEnded(ReaderThread* reader);

// One hand-over attempt; returns true while bytes are still held.
bool OfferHeld(ReaderThread* reader, HeldChunk* held);
// Offers the held bytes until they are stored; false once a stop is asked.
bool WaitWhileHeld(ReaderThread* reader, HeldChunk* held);
