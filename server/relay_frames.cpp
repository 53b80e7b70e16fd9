#include "server/relay_frames.h"

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_session.h"
#include "output/output_types.h"

namespace {

void OnClientFrame(void* context, const ReceivedFrame& frame) {
  // Only a PC's frames go to the instrument; an oversized one never fits.
  if (!frame.checksum_good || frame.start_byte != kAckStart || frame.length > kMaxPayload) return;
  auto* parser = static_cast<RelayClientParser*>(context);
  parser->requests.push_back(
      {frame.command, std::vector<uint8_t>(frame.data, frame.data + frame.length)});
}

std::vector<uint8_t> Frame(uint8_t start, uint8_t command, uint8_t status, int length,
                           const uint8_t* data) {
  std::vector<uint8_t> bytes(kFrameBufferSize);
  bytes.resize(static_cast<size_t>(
      BuildFrame(start, command, status, static_cast<uint16_t>(length), data, bytes.data())));
  return bytes;
}

std::vector<uint8_t> FromRecord(const ReplyRecord& record, uint8_t command) {
  if (record.start_byte == 0) return {};
  return Frame(record.start_byte, command, record.status, record.length, record.data);
}

int16_t CodeAt(const std::vector<uint8_t>& data, size_t at) {
  return static_cast<int16_t>(static_cast<uint16_t>(data[at] << 8 | data[at + 1]));
}

// The output commands' levels, decoded from their codes, against the limits.
bool WithinLimits(const RelayRequest& request, const SoftLimits& limits) {
  const std::vector<uint8_t>& d = request.data;
  std::vector<int16_t> codes;
  if (request.command == CMD_SET_OUTPUT && d.size() == 3) codes = {CodeAt(d, 1)};
  if (request.command == CMD_START_SWEEP && d.size() == 9) codes = {CodeAt(d, 1), CodeAt(d, 3)};
  for (int16_t code : codes) {
    if (!CheckSoftLimit(limits, d[0], DecodeOutputValue(d[0], code)).empty()) return false;
  }
  return true;
}

}  // namespace

void TakeRelayBytes(RelayClientParser* parser, const uint8_t* bytes, int count, uint32_t now_ms) {
  ExpireHalfFrame(&parser->receiver, now_ms);
  TakeBytes(&parser->receiver, bytes, count, now_ms, OnClientFrame, parser);
}

std::vector<uint8_t> AnswerRelayRequest(LinkSession* session, bool link_up,
                                        const RelayRequest& request, const SoftLimits& limits,
                                        std::chrono::steady_clock::time_point last_live_report) {
  // Silence while the link is down: each client's own rules then see it.
  if (!link_up) return {};
  const uint8_t command = request.command;
  switch (command) {
    case CMD_CONNECT:
    case CMD_DISCONNECT:
      // The server's own session with the instrument stays open.
      return Frame(kReplyStart, command, 0, 0, nullptr);
    case CMD_GET_VERSION:
    case CMD_GET_SERIAL:
      // As the instrument answered the server's identification.
      return FromRecord(session->reply_records[command], command);
    case CMD_GET_OUTPUT: {
      const ReplyRecord& live = session->reply_records[CMD_GET_OUTPUT];
      if (std::chrono::steady_clock::now() - last_live_report <= kLiveReportReuse &&
          live.start_byte == kReplyStart && live.status == 0 && live.length == 4) {
        return FromRecord(live, command);
      }
      break;
    }
    default:
      break;
  }
  if (!WithinLimits(request, limits))
    return Frame(kAckStart, command, kLimitRefusedStatus, 0, nullptr);
  const uint8_t* data = request.data.empty() ? nullptr : request.data.data();
  if (SendCommandAndWait(session, command, static_cast<uint16_t>(request.data.size()), data) != 0) {
    return {};
  }
  return FromRecord(session->reply_records[command], command);
}
