// REPLay: the replay page in SCPI; and the operation status, which reports
// a running sweep or replay.
#include <cmath>

#include "cli/command_checks.h"
#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "output/entry_checks.h"
#include "server/scpi_commands.h"
#include "server/scpi_link.h"

namespace {

constexpr int kModeReplay = 1;
constexpr int kModeSweep = 2;
constexpr int kSweepingBit = 8;
constexpr int kReplayingBit = 16384;

}  // namespace

void SetReplayChannel(ScpiContext* c, const ScpiCall& call) {
  const std::string& word = call.values[0].word;
  if (word.size() != 3 || word.compare(0, 2, "AI") != 0 || word[2] < '1' || word[2] > '5') {
    PushScpiError(c->errors, -224, word + " is not a channel (AI1 to AI5)");
    return;
  }
  c->settings->replay_channel = word[2] - '1';
}

void QueryReplayChannel(ScpiContext* c, const ScpiCall&) {
  c->replies.push_back("AI" + std::to_string(c->settings->replay_channel + 1));
}

void SetReplayCount(ScpiContext* c, const ScpiCall& call) {
  const ScpiValue& v = call.values[0];
  if (!v.infinite && v.number != std::floor(v.number)) {
    PushScpiError(c->errors, -222, PlainNumberText(v.number) + " is not a whole number");
    return;
  }
  c->settings->replay_endless = v.infinite;
  if (!v.infinite) c->settings->replay_count = v.number;
}

void QueryReplayCount(ScpiContext* c, const ScpiCall&) {
  const ScpiSettings& s = *c->settings;
  c->replies.push_back(s.replay_endless ? "INF" : PlainNumberText(s.replay_count));
}

void SetReplayState(ScpiContext* c, const ScpiCall& call) {
  const bool on = call.values[0].number != 0;
  if (!on) {
    if (RequireLink(c)) {
      ExchangeDone(c, CMD_STOP_REPLAY, SendCommandAndWait(c->session, CMD_STOP_REPLAY, 0, nullptr));
    }
    return;
  }
  const ScpiSettings& s = *c->settings;
  Command check;
  check.count_text = PlainNumberText(s.replay_count);
  uint32_t stored = 0;
  uint16_t count = 0;
  const EntryProblem problem =
      CheckReplayCount(check.count_text.c_str(), s.replay_endless, &stored, &count);
  if (problem.fault != EntryFault::None) {
    // The client's words, with COUNt for its option.
    std::string message = DescribeEntryProblem(problem, check);
    if (message.rfind("--count ", 0) == 0) message = "COUNt " + message.substr(8);
    PushScpiError(c->errors, -222, message);
    return;
  }
  if (!RequireLink(c)) return;
  ExchangeDone(c, CMD_START_REPLAY,
               SendReplayCommand(c->session, static_cast<uint8_t>(s.replay_channel), count));
}

void QueryReplayState(ScpiContext* c, const ScpiCall&) {
  LiveValues live{};
  if (!ReadLiveValues(c, &live)) {
    AnswerUnavailable(c);
    return;
  }
  c->replies.push_back(live.mode == kModeReplay ? "1" : "0");
}

void QueryOperationCondition(ScpiContext* c, const ScpiCall&) {
  LiveValues live{};
  if (!ReadLiveValues(c, &live)) {
    AnswerUnavailable(c);
    return;
  }
  const int bits = live.mode == kModeSweep    ? kSweepingBit
                   : live.mode == kModeReplay ? kReplayingBit
                                              : 0;
  c->replies.push_back(std::to_string(bits));
}
