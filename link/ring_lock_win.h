// The receive ring under a transport's mutex: the only span in which the
// reader thread and the user-interface thread touch shared data.
#pragma once
#include <windows.h>

#include <cstdint>

#include "link/receive_ring.h"

int PutLocked(HANDLE mutex, ReceiveRing* ring, const uint8_t* bytes, int count);
int DrainLocked(HANDLE mutex, ReceiveRing* ring, uint8_t* destination);

// What a reader got from its port but could not store yet because the ring
// was full. It is offered again on every pass; nothing new is read meanwhile.
struct HeldChunk {
  uint8_t bytes[kRingSize];
  int offset;
  int count;
};

// One hand-over attempt; returns true while bytes are still held.
bool OfferHeld(HANDLE mutex, ReceiveRing* ring, HeldChunk* held);
