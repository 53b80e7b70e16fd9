// A SCPI client's error queue and standard event status register.
#pragma once
#include <deque>
#include <string>

constexpr size_t kErrorQueueSize = 16;

struct ScpiError {
  int code;
  std::string text;  // -222,"Data out of range;..."
};

struct ScpiErrorQueue {
  std::deque<ScpiError> entries;
  int event_status = 0;  // *ESR? bits
};

// Queues the error with its standard text and the detail after ';'. When the
// queue is full its last entry becomes -350.
void PushScpiError(ScpiErrorQueue* queue, int code, const std::string& detail = "");
// The oldest entry, or 0,"No error".
std::string PopScpiError(ScpiErrorQueue* queue);
void ClearScpiStatus(ScpiErrorQueue* queue);  // *CLS

constexpr int kEsrOperationComplete = 1;
