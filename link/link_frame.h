// Link frames: building command frames and reassembling received ones.
#pragma once
#include <cstdint>

constexpr int kFrameBufferSize = 1024;
constexpr int kMaxPayload = kFrameBufferSize - 6;
constexpr int kMaxDrain = 1023;

enum ParserState : int32_t {
  WaitStart = 0,
  WaitCommand = 1,
  WaitStatus = 2,
  WaitLengthHigh = 3,
  WaitLengthLow = 4,
  ReadData = 5,
  WaitChecksum = 6,
};

struct ReceiverState {
  int32_t state;
  uint8_t start_byte;
  uint8_t command;
  uint8_t status;
  int32_t length;
  uint8_t data[kFrameBufferSize];
  int32_t data_index;
  uint8_t checksum_sum;
  uint32_t empty_polls;
};

extern ReceiverState receiver_state;

// One open byte pipe, as the frame layer sees it. Slot 0 is the serial
// transport, slot 1 the TCP transport; an empty slot sends and drains nothing.
struct LinkTransport {
  int (*drain)(uint8_t* destination);  // at most kMaxDrain bytes
  int (*write)(const uint8_t* bytes, int count);
  void (*close)();
};
extern LinkTransport link_transports[2];

int SendFrame(uint8_t command, uint16_t length, const uint8_t* data);
void ParseReceived();

void ResetReceiverState();
