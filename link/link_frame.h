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

// The open byte pipe, as the frame layer sees it. Whoever opens a link (the
// window, the command-line client, a test) installs it; with none installed
// nothing is sent and nothing is drained.
struct LinkTransport {
  int (*drain)(void* context, uint8_t* destination);  // at most kMaxDrain bytes
  int (*write)(void* context, const uint8_t* bytes, int count);
  void (*close)(void* context);
  void* context;
};
extern LinkTransport current_transport;

// Makes transport the current one, with the receive parser at its start.
// CloseTransport closes it and leaves none.
void InstallTransport(const LinkTransport& transport);

// Told of every frame written and of every received frame that reaches its
// checksum byte (good or not), before it is handled. Null unless somebody
// logs the traffic; the window never does.
extern void (*frame_observer)(bool outgoing, const uint8_t* frame, int count, bool checksum_good);

int SendFrame(uint8_t command, uint16_t length, const uint8_t* data);
void ParseReceived();

void ResetReceiverState();
