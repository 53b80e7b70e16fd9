#include "link/link_frame.h"

#include <cstring>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_session.h"

namespace {

int StoredLength(int32_t length) {
  return length < 0 ? 0 : length > kFrameBufferSize ? kFrameBufferSize : length;
}

void FinishFrame(ReceiverState* rx, uint8_t checksum, FrameHandler on_frame, void* context) {
  const ReceivedFrame frame = {
      rx->start_byte,
      rx->command,
      rx->status,
      rx->length,
      rx->data,
      checksum,
      checksum == static_cast<uint8_t>(rx->checksum_sum + 1),
  };
  on_frame(context, frame);
}

void TakeByte(ReceiverState* rx, uint8_t byte, FrameHandler on_frame, void* context) {
  switch (rx->state) {
    case WaitStart:
      if (byte == kAckStart || byte == kReplyStart) {
        rx->start_byte = byte;
        rx->checksum_sum = 0;
        rx->state = WaitCommand;
      }
      break;
    case WaitCommand:
      rx->command = byte;
      rx->state = WaitStatus;
      break;
    case WaitStatus:
      rx->status = byte;
      rx->state = WaitLengthHigh;
      break;
    case WaitLengthHigh:
      rx->length = byte * 256;
      rx->state = WaitLengthLow;
      break;
    case WaitLengthLow:
      rx->length += byte;
      rx->data_index = 0;
      rx->state = rx->length != 0 ? ReadData : WaitChecksum;
      break;
    case ReadData:
      // An oversized declaration fills the store and then swallows bytes: it
      // never completes and is abandoned once the line falls silent.
      if (rx->data_index >= 0 && rx->data_index < kFrameBufferSize) {
        rx->data[rx->data_index++] = byte;
        if (rx->data_index == rx->length) rx->state = WaitChecksum;
      }
      break;
    case WaitChecksum:
      rx->state = WaitStart;
      FinishFrame(rx, byte, on_frame, context);
      break;
    default:
      // Only reachable if the record was overwritten; hunt for a frame again.
      rx->state = WaitStart;
      break;
  }
  rx->checksum_sum = static_cast<uint8_t>(rx->checksum_sum + byte);
}

// A good frame on a session's own link.
void HandleFrame(void* context, const ReceivedFrame& frame) {
  LinkSession* session = static_cast<LinkSession*>(context);
  const LinkEvents& events = session->events;
  if (events.frame != nullptr) {
    uint8_t bytes[kFrameBufferSize + 6];
    const int count = FrameBytes(frame, bytes);
    events.frame(events.context, false, bytes, count, frame.checksum_good);
  }
  if (!frame.checksum_good) return;  // dropped silently
  session->link_state.last_frame_ms = session->platform.now_ms();
  DispatchReply(session, frame);
  session->link_state.pending[frame.command] = 0;
}

}  // namespace

void TakeBytes(ReceiverState* rx, const uint8_t* bytes, int count, uint32_t now_ms,
               FrameHandler on_frame, void* context) {
  if (count <= 0) return;
  // Bytes after a long silence belong to a new frame, whether or not a poll
  // saw the silence.
  ExpireHalfFrame(rx, now_ms);
  rx->last_byte_ms = now_ms;
  for (int i = 0; i < count; ++i) TakeByte(rx, bytes[i], on_frame, context);
}

void ExpireHalfFrame(ReceiverState* rx, uint32_t now_ms) {
  // Unsigned difference: correct across a wrap of the millisecond clock.
  if (rx->state != WaitStart && now_ms - rx->last_byte_ms > kHalfFrameMs) rx->state = WaitStart;
}

int FrameBytes(const ReceivedFrame& frame, uint8_t* out) {
  out[0] = frame.start_byte;
  out[1] = frame.command;
  out[2] = frame.status;
  out[3] = static_cast<uint8_t>(frame.length >> 8);
  out[4] = static_cast<uint8_t>(frame.length & 0xFF);
  const int length = StoredLength(frame.length);
  std::memcpy(out + 5, frame.data, static_cast<size_t>(length));
  out[5 + length] = frame.checksum;
  return length + 6;
}

int BuildFrame(uint8_t start, uint8_t command, uint8_t status, uint16_t length, const uint8_t* data,
               uint8_t* out) {
  // A frame that does not fit the send buffer, or data promised but missing,
  // is not built at all rather than truncated.
  if (length > kMaxPayload || (length != 0 && data == nullptr)) return 0;
  out[0] = start;
  out[1] = command;
  out[2] = status;
  out[3] = static_cast<uint8_t>(length >> 8);
  out[4] = static_cast<uint8_t>(length & 0xFF);
  if (length != 0) std::memcpy(out + 5, data, length);
  uint8_t sum = 0;
  for (int i = 0; i < 5 + length; ++i) sum = static_cast<uint8_t>(sum + out[i]);
  out[5 + length] = static_cast<uint8_t>(sum + 1);
  return length + 6;
}

int SendFrame(LinkSession* session, uint8_t command, uint16_t length, const uint8_t* data) {
  const LinkTransport& transport = session->transport;
  if (transport.write == nullptr) return -1;
  uint8_t frame[kFrameBufferSize];
  const int count = BuildFrame(kAckStart, command, 0, length, data, frame);
  if (count == 0) return -1;
  const LinkEvents& events = session->events;
  if (events.frame != nullptr) events.frame(events.context, true, frame, count, true);
  return transport.write(transport.context, frame, count) == 0 ? 0 : -1;
}

void ParseReceived(LinkSession* session) {
  // Local, so that a drain is never shared with a nested parse.
  uint8_t bytes[kFrameBufferSize];
  int count = 0;
  const LinkTransport& transport = session->transport;
  if (transport.drain != nullptr) count = transport.drain(transport.context, bytes);
  if (count < 0) session->link_state.transport_ended = true;
  if (count > kMaxDrain) count = kMaxDrain;
  const uint32_t now = session->platform.now_ms();
  if (count <= 0) {
    ExpireHalfFrame(&session->receiver_state, now);
    return;
  }
  TakeBytes(&session->receiver_state, bytes, count, now, HandleFrame, session);
}
