// Link frames: building them, and reassembling received ones from any byte
// stream.
#pragma once
#include <cstdint>

constexpr int kFrameBufferSize = 1024;
constexpr int kMaxPayload = kFrameBufferSize - 6;
constexpr int kMaxDrain = 1023;

constexpr uint8_t kAckStart = 0xAA;
constexpr uint8_t kReplyStart = 0x55;

// A half-read frame that no byte has followed for longer than this is
// abandoned, so line noise or a false length cannot swallow later answers.
constexpr uint32_t kHalfFrameMs = 1000;

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
  uint32_t last_byte_ms;
};

// A frame that reached its checksum byte. data holds the first
// min(length, kFrameBufferSize) bytes of what was declared.
struct ReceivedFrame {
  uint8_t start_byte;
  uint8_t command;
  uint8_t status;
  int32_t length;
  const uint8_t* data;
  uint8_t checksum;
  bool checksum_good;
};

using FrameHandler = void (*)(void* context, const ReceivedFrame& frame);

// Feeds bytes that arrived at now_ms; on_frame hears each completed frame,
// good or not.
void TakeBytes(ReceiverState* rx, const uint8_t* bytes, int count, uint32_t now_ms,
               FrameHandler on_frame, void* context);
// A look that found no bytes: drops a half frame silent for too long.
void ExpireHalfFrame(ReceiverState* rx, uint32_t now_ms);

// The frame's bytes into out (at least min(length, kFrameBufferSize) + 6
// bytes), as a frame of that declared length would travel: its size.
int FrameBytes(const ReceivedFrame& frame, uint8_t* out);
// A frame of ours or an answer: its size, 0 when the payload does not fit
// kMaxPayload or promised data is missing. out holds kFrameBufferSize bytes.
int BuildFrame(uint8_t start, uint8_t command, uint8_t status, uint16_t length, const uint8_t* data,
               uint8_t* out);

struct LinkSession;
// 0 sent, -1 not: no transport, a frame that does not fit, or a failed write.
int SendFrame(LinkSession* session, uint8_t command, uint16_t length, const uint8_t* data);
// Drains the transport into the session's parser and handles what completes.
void ParseReceived(LinkSession* session);
