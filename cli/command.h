// One command of the client, as given on the command line or a script line,
// and what its checks made of it.
#pragma once
#include <cstdint>
#include <string>

#include "link/instrument_commands.h"
#include "settings/settings_records.h"

enum class CommandKind {
  Identify,
  Get,
  Set,
  Off,
  Sweep,
  Replay,
  ReplayStop,
  Clock,
  ClockSet,
  Monitor,
  ListPorts,
  Run,
  Sleep,  // script lines only
};

enum class OutputFormat { Text, Csv, Json };

struct MonitorOptions {
  uint32_t interval_ms = 500;
  long count = 0;           // 0: no limit
  double duration_s = 0.0;  // 0: no limit
  std::string output_path;  // empty: stdout
  bool reconnect = false;
};

struct Command {
  CommandKind kind = CommandKind::Identify;

  // As typed: the checks read these, and their messages quote them.
  std::string value_text;
  std::string type_text;  // empty: no --type
  std::string from_text;
  std::string to_text;
  std::string t1_text;
  std::string t2_text;
  std::string channel_text;
  std::string count_text;
  std::string clock_text;  // clock --set TIME
  std::string interval_text;
  std::string duration_text;
  std::string sleep_text;
  std::string script_path;
  std::string output_path;  // "-": stdout
  std::string help_topic;   // help COMMAND
  bool set_flag = false;    // clock --set
  bool stop = false;        // replay --stop
  bool endless = false;
  bool csv = false;
  bool reconnect = false;

  // Made by PrepareCommand.
  int output_type = -1;  // -1: off without --type
  double value = 0.0;
  SweepSettings sweep{};
  uint8_t channel = 0;
  uint16_t replay_count = 0;  // 0: endless
  bool has_clock_time = false;
  ClockFields clock_time{};
  MonitorOptions monitor;
  uint32_t sleep_ms = 0;
};

struct GlobalOptions {
  std::string connect;  // empty: RV_SOLA62_CONNECT
  bool json = false;
  bool verbose = false;
};

// Text, CSV or JSON, as the options ask.
inline OutputFormat FormatOf(const GlobalOptions& globals, const Command& command) {
  if (globals.json) return OutputFormat::Json;
  return command.csv ? OutputFormat::Csv : OutputFormat::Text;
}
