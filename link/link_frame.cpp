#include "link/link_frame.h"

#include <cstring>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"

ReceiverState receiver_state;
LinkTransport current_transport;
void (*frame_observer)(bool outgoing, const uint8_t* frame, int count,
                       bool checksum_good) = nullptr;

namespace {

constexpr uint8_t kAckStart = 0xAA;
constexpr uint8_t kReplyStart = 0x55;
// A half-read frame survives this many consecutive empty polls; the next one drops it.
constexpr uint32_t kEmptyPollLimit = 100;

// The frame as it arrived; only complete frames get here, so the data store
// holds all of it.
void ShowReceivedFrame(uint8_t checksum, bool good) {
  const ReceiverState& rx = receiver_state;
  uint8_t frame[kFrameBufferSize + 6];
  frame[0] = rx.start_byte;
  frame[1] = rx.command;
  frame[2] = rx.status;
  frame[3] = static_cast<uint8_t>(rx.length >> 8);
  frame[4] = static_cast<uint8_t>(rx.length & 0xFF);
  const int length = rx.length < 0                  ? 0
                     : rx.length > kFrameBufferSize ? kFrameBufferSize
                                                    : rx.length;
  std::memcpy(frame + 5, rx.data, static_cast<size_t>(length));
  frame[5 + length] = checksum;
  frame_observer(false, frame, length + 6, good);
}

void FinishFrame(uint8_t checksum) {
  ReceiverState& rx = receiver_state;
  const bool good = checksum == static_cast<uint8_t>(rx.checksum_sum + 1);
  if (frame_observer != nullptr) ShowReceivedFrame(checksum, good);
  if (!good) return;  // dropped silently
  link_state.last_frame_ms = link_platform.now_ms();
  if (rx.start_byte == kReplyStart) DispatchReply();
  link_state.pending[rx.command] = 0;
}

void TakeByte(uint8_t byte) {
  ReceiverState& rx = receiver_state;
  switch (rx.state) {
    case WaitStart:
      if (byte == kAckStart || byte == kReplyStart) {
        rx.start_byte = byte;
        rx.checksum_sum = 0;
        rx.state = WaitCommand;
      }
      break;
    case WaitCommand:
      rx.command = byte;
      rx.state = WaitStatus;
      break;
    case WaitStatus:
      rx.status = byte;
      rx.state = WaitLengthHigh;
      break;
    case WaitLengthHigh:
      rx.length = byte * 256;
      rx.state = WaitLengthLow;
      break;
    case WaitLengthLow:
      rx.length += byte;
      rx.data_index = 0;
      rx.state = rx.length != 0 ? ReadData : WaitChecksum;
      break;
    case ReadData:
      // An oversized declaration fills the store and then swallows bytes: it
      // never completes and is abandoned by the empty-poll rule.
      if (rx.data_index >= 0 && rx.data_index < kFrameBufferSize) {
        rx.data[rx.data_index++] = byte;
        if (rx.data_index == rx.length) rx.state = WaitChecksum;
      }
      break;
    case WaitChecksum:
      rx.state = WaitStart;
      FinishFrame(byte);
      break;
    default:
      // Only reachable if the record was overwritten; hunt for a frame again.
      rx.state = WaitStart;
      break;
  }
  rx.checksum_sum = static_cast<uint8_t>(rx.checksum_sum + byte);
}

}  // namespace

int SendFrame(uint8_t command, uint16_t length, const uint8_t* data) {
  const LinkTransport& transport = current_transport;
  if (transport.write == nullptr) return 0;
  // A frame that does not fit the send buffer, or data promised but missing,
  // is not sent at all rather than sent truncated.
  if (length > kMaxPayload || (length != 0 && data == nullptr)) return 0;

  uint8_t frame[kFrameBufferSize];
  frame[0] = kAckStart;
  frame[1] = command;
  frame[2] = 0;
  frame[3] = static_cast<uint8_t>(length >> 8);
  frame[4] = static_cast<uint8_t>(length & 0xFF);
  if (length != 0) std::memcpy(frame + 5, data, length);
  uint8_t sum = 0;
  for (int i = 0; i < 5 + length; ++i) sum = static_cast<uint8_t>(sum + frame[i]);
  frame[5 + length] = static_cast<uint8_t>(sum + 1);
  if (frame_observer != nullptr) frame_observer(true, frame, length + 6, true);
  return transport.write(transport.context, frame, length + 6);
}

void ParseReceived() {
  // Local, so that a drain is never shared with a nested parse.
  uint8_t bytes[kFrameBufferSize];
  int count = 0;
  const LinkTransport& transport = current_transport;
  if (transport.drain != nullptr) count = transport.drain(transport.context, bytes);
  if (count > kMaxDrain) count = kMaxDrain;

  ReceiverState& rx = receiver_state;
  if (count <= 0) {
    if (rx.state != WaitStart) {
      uint32_t old = rx.empty_polls++;
      if (old > kEmptyPollLimit) {
        rx.state = WaitStart;
        rx.empty_polls = 0;
      }
    }
    return;
  }
  rx.empty_polls = 0;
  for (int i = 0; i < count; ++i) TakeByte(bytes[i]);
}

void InstallTransport(const LinkTransport& transport) {
  current_transport = transport;
  // A frame cut off on the last link, or the noise of a wrong peer, must not
  // swallow this link's first answer.
  ResetReceiverState();
}

void ResetReceiverState() {
  receiver_state = ReceiverState{};
}
