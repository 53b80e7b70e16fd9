// The relay: the instrument's own protocol for several clients. Each client
// has its own receive parser; each of its frames is answered on the link
// thread, by the server itself or by the instrument.
#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

#include "link/link_frame.h"
#include "server/soft_limits.h"

struct LinkSession;

// The status of the acknowledgement that refuses a frame beyond a soft limit.
constexpr uint8_t kLimitRefusedStatus = 0xF0;
// A live report no older than this answers a client's live request.
constexpr auto kLiveReportReuse = std::chrono::milliseconds(100);

struct RelayRequest {
  uint8_t command;
  std::vector<uint8_t> data;
};

// One client's side: its parser and the frames it has sent, not yet answered.
struct RelayClientParser {
  ReceiverState receiver{};
  std::deque<RelayRequest> requests;
};

// Takes a client's bytes: each command frame with a good checksum becomes a
// request; anything else is dropped as the instrument would drop it.
void TakeRelayBytes(RelayClientParser* parser, const uint8_t* bytes, int count, uint32_t now_ms);

// On the link thread: the answer's bytes, empty for silence.
std::vector<uint8_t> AnswerRelayRequest(LinkSession* session, bool link_up,
                                        const RelayRequest& request, const SoftLimits& limits,
                                        std::chrono::steady_clock::time_point last_live_report);
