// What a SCPI command works on, the command table's record, and every
// command's handler (one file per group of the table).
#pragma once
#include <string>
#include <vector>

#include "server/scpi_error_queue.h"
#include "server/scpi_values.h"
#include "server/soft_limits.h"

struct LinkSession;

// The settings all SCPI clients share. Only the link thread touches them.
struct ScpiSettings {
  int output_type = -1;  // the selection; -1 until the instrument reported its own
  bool has_level[4] = {};
  double level[4] = {};  // last set through this server, in the type's unit
  ScpiValue sweep_start{0.0, ScpiUnitFamily::None, true, false, false, ""};  // MIN
  ScpiValue sweep_stop{0.0, ScpiUnitFamily::None, false, true, false, ""};   // MAX
  double rise_s = 5.0;
  double fall_s = 5.0;
  int replay_channel = 0;  // AI1
  bool replay_endless = false;
  double replay_count = 1;
  // The last identified instrument, for *IDN?.
  int device_code = 0;
  int firmware_version = 0;
  std::string serial_number = "00000000";
};

// One message's run: the sender's queue, the shared settings, the link.
struct ScpiContext {
  ScpiErrorQueue* errors;
  ScpiSettings* settings;
  const SoftLimits* limits;
  LinkSession* session;
  bool link_up;
  std::vector<std::string> replies;
};

struct ScpiCall {
  bool query;
  std::vector<ScpiValue> values;
};

using ScpiHandler = void (*)(ScpiContext* context, const ScpiCall& call);

struct ScpiCommand {
  const char* pattern;  // "[SOURce:]VOLTage[:LEVel]", "*IDN"
  ScpiParam param;      // of the setting form's parameters
  int param_count;      // of the setting form
  ScpiHandler set;      // null: a query only
  ScpiHandler query;    // null: no query form
};

// Common commands (scpi_common_commands.cpp).
void RunIdentify(ScpiContext* c, const ScpiCall& call);
void RunReset(ScpiContext* c, const ScpiCall& call);
void RunClearStatus(ScpiContext* c, const ScpiCall& call);
void RunOperationComplete(ScpiContext* c, const ScpiCall& call);
void QueryOperationComplete(ScpiContext* c, const ScpiCall& call);
void RunWait(ScpiContext* c, const ScpiCall& call);
void QueryEventStatus(ScpiContext* c, const ScpiCall& call);
void QueryStatusByte(ScpiContext* c, const ScpiCall& call);
void QuerySelfTest(ScpiContext* c, const ScpiCall& call);

// SYSTem (scpi_system_commands.cpp).
void QueryNextError(ScpiContext* c, const ScpiCall& call);
void QueryErrorCount(ScpiContext* c, const ScpiCall& call);
void QueryVersion(ScpiContext* c, const ScpiCall& call);
void SetDate(ScpiContext* c, const ScpiCall& call);
void QueryDate(ScpiContext* c, const ScpiCall& call);
void SetTime(ScpiContext* c, const ScpiCall& call);
void QueryTime(ScpiContext* c, const ScpiCall& call);

// TYPE, VOLTage, CURRent, OUTPut (scpi_output_commands.cpp).
void SetType(ScpiContext* c, const ScpiCall& call);
void QueryType(ScpiContext* c, const ScpiCall& call);
void SetVoltage(ScpiContext* c, const ScpiCall& call);
void QueryVoltage(ScpiContext* c, const ScpiCall& call);
void SetCurrent(ScpiContext* c, const ScpiCall& call);
void QueryCurrent(ScpiContext* c, const ScpiCall& call);
void SetOutputState(ScpiContext* c, const ScpiCall& call);
void QueryOutputState(ScpiContext* c, const ScpiCall& call);

// SWEep and INITiate (scpi_sweep_commands.cpp).
void SetSweepStart(ScpiContext* c, const ScpiCall& call);
void QuerySweepStart(ScpiContext* c, const ScpiCall& call);
void SetSweepStop(ScpiContext* c, const ScpiCall& call);
void QuerySweepStop(ScpiContext* c, const ScpiCall& call);
void SetRiseTime(ScpiContext* c, const ScpiCall& call);
void QueryRiseTime(ScpiContext* c, const ScpiCall& call);
void SetFallTime(ScpiContext* c, const ScpiCall& call);
void QueryFallTime(ScpiContext* c, const ScpiCall& call);
void RunInitiate(ScpiContext* c, const ScpiCall& call);

// REPLay and STATus (scpi_replay_commands.cpp).
void SetReplayChannel(ScpiContext* c, const ScpiCall& call);
void QueryReplayChannel(ScpiContext* c, const ScpiCall& call);
void SetReplayCount(ScpiContext* c, const ScpiCall& call);
void QueryReplayCount(ScpiContext* c, const ScpiCall& call);
void SetReplayState(ScpiContext* c, const ScpiCall& call);
void QueryReplayState(ScpiContext* c, const ScpiCall& call);
void QueryOperationCondition(ScpiContext* c, const ScpiCall& call);
