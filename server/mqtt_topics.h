// The server's topics on the broker and what they carry: the instrument's
// state out, one command in as a line of the client's scripts, and its
// result out with the client's exit code and message.
#pragma once
#include <cstdint>
#include <string>

#include "cli/command.h"
#include "cli/exit_codes.h"
#include "server/soft_limits.h"

struct InstrumentIdentity;

struct MqttTopics {
  std::string status;    // online, or the last will offline
  std::string link;      // up or down
  std::string identity;  // JSON: serial, firmware, device_code
  std::string live;      // the client's JSON monitor record
  std::string command;   // in
  std::string result;    // out
};

MqttTopics TopicsUnder(const std::string& prefix);

// rv-sola62/<serial number>; what a topic level cannot hold becomes _.
std::string DefaultMqttPrefix(const InstrumentIdentity& identity);

std::string IdentityPayload(const InstrumentIdentity& identity);
std::string LivePayload(int mode, int output_type, int16_t code);
// outcome's message, or on success what the client would print.
std::string ResultPayload(const std::string& command_text, const Outcome& outcome,
                          const std::string& printed);

constexpr size_t kMaxMqttCommandBytes = 4096;

// One command message: a single line of a client script that drives the
// instrument (not sleep or monitor), through the client's checks and then
// the soft limits. kExitUsage with the message when it may not be sent.
Outcome PrepareMqttCommand(const std::string& text, const SoftLimits& limits, Command* command);
