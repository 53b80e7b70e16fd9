#include "link/reader_thread_win.h"

#include <process.h>

bool PrepareReader(ReaderThread* reader) {
  InitializeCriticalSection(&reader->lock);
  reader->lock_ready = true;
  reader->stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return reader->stop_event != nullptr;
}

bool StartReader(ReaderThread* reader, unsigned(__stdcall* body)(void*), void* argument) {
  uintptr_t thread = _beginthreadex(nullptr, 0, body, argument, 0, &reader->thread_id);
  reader->thread = reinterpret_cast<HANDLE>(thread);
  return thread != 0;
}

void StopReader(ReaderThread* reader) {
  if (reader->thread) {
    SetEvent(reader->stop_event);
    WaitForSingleObject(reader->thread, INFINITE);
    CloseHandle(reader->thread);
    reader->thread = nullptr;
  }
  if (reader->stop_event) CloseHandle(reader->stop_event);
  reader->stop_event = nullptr;
  if (reader->lock_ready) DeleteCriticalSection(&reader->lock);
  reader->lock_ready = false;
}

int DrainReader(ReaderThread* reader, uint8_t* destination) {
  if (!reader->lock_ready) return 0;
  EnterCriticalSection(&reader->lock);
  int count = RingDrain(&reader->ring, destination);
  if (count == 0 && reader->ended) count = -1;
  LeaveCriticalSection(&reader->lock);
  return count;
}

void MarkReaderEnded(ReaderThread* reader) {
  EnterCriticalSection(&reader->lock);
  reader->ended = true;
  LeaveCriticalSection(&reader->lock);
  if (reader->bytes_arrived != nullptr) reader->bytes_arrived(reader->arrival_context);
}

bool OfferHeld(ReaderThread* reader, HeldChunk* held) {
  if (held->count <= 0) return false;
  EnterCriticalSection(&reader->lock);
  int stored = RingPut(&reader->ring, held->bytes + held->offset, held->count);
  LeaveCriticalSection(&reader->lock);
  held->offset += stored;
  held->count -= stored;
  if (stored > 0 && reader->bytes_arrived != nullptr)
    reader->bytes_arrived(reader->arrival_context);
  return held->count > 0;
}

bool WaitWhileHeld(ReaderThread* reader, HeldChunk* held) {
  while (OfferHeld(reader, held)) {
    if (WaitForSingleObject(reader->stop_event, kHeldRetryMs) == WAIT_OBJECT_0) return false;
  }
  return WaitForSingleObject(reader->stop_event, 0) != WAIT_OBJECT_0;
}
