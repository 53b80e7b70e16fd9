#include "link/ring_lock_win.h"

int PutLocked(HANDLE mutex, ReceiveRing* ring, const uint8_t* bytes, int count) {
  WaitForSingleObject(mutex, INFINITE);
  int stored = RingPut(ring, bytes, count);
  ReleaseMutex(mutex);
  return stored;
}

int DrainLocked(HANDLE mutex, ReceiveRing* ring, uint8_t* destination) {
  WaitForSingleObject(mutex, INFINITE);
  int count = RingDrain(ring, destination);
  ReleaseMutex(mutex);
  return count;
}

bool OfferHeld(HANDLE mutex, ReceiveRing* ring, HeldChunk* held) {
  if (held->count > 0) {
    int stored = PutLocked(mutex, ring, held->bytes + held->offset, held->count);
    held->offset += stored;
    held->count -= stored;
  }
  return held->count > 0;
}
