#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <sstream>

const char* const kProgramName = "rv-sola62-cli";

namespace {

const char* const kDescription =
    "Drives the RV-SOLA62 signal source over its USB serial port or TCP.\n"
    "Every command opens the link, identifies the instrument, does its work, sends\n"
    "the disconnect command and closes the link.";

const char* const kFooter =
    "LINK: COM3 (Windows), a device path such as /dev/ttyUSB0 or /dev/serial/by-id/...\n"
    "(Linux), or tcp://HOST[:PORT] (port 10101 when left out). Without --connect the\n"
    "environment variable RV_SOLA62_CONNECT is used.\n"
    "Output types: 0 or mv (+-100 mV), 1 or v (+-10 V), 2 or ma (0-20 mA), 3 or ma-ext\n"
    "(0-20 mA, external supply).\n"
    "Values may carry the type's unit (5V, 4.5mA, 50mV). Durations take ms or s\n"
    "(250ms, 1.5s, .5s); a bare number is in the option's own unit.\n"
    "Exit codes: 0 success; 1 no answer within 2 s, a failing status, or an answer the\n"
    "instrument cannot have meant; 2 usage or input error, nothing sent; 3 could not\n"
    "connect, or the peer is not the instrument; 4 the link was lost; 5 the output could\n"
    "not be written; 128 + the signal's number when a signal ended a command other than\n"
    "monitor (130 for Ctrl+C).";

const char* const kTypeHelp = "output type: 0-3, mv, v, ma or ma-ext";

struct CommandApps {
  CLI::App* help;
  CLI::App* identify;
  CLI::App* get;
  CLI::App* set;
  CLI::App* off;
  CLI::App* sweep;
  CLI::App* replay;
  CLI::App* clock;
  CLI::App* monitor;
  CLI::App* list_ports;
  CLI::App* run;
  CLI::App* sleep;
};

CommandApps AddCommands(CLI::App* app, Command* c, bool script) {
  CommandApps apps{};
  apps.identify = app->add_subcommand("identify", "Device code, firmware version, serial number");

  apps.get = app->add_subcommand("get", "One live report: value, unit, output type, mode");
  apps.get->add_flag("--csv", c->csv, "CSV instead of text");

  apps.set = app->add_subcommand("set", "Set a fixed output value");
  apps.set->add_option("VALUE", c->value_text, "the value in the unit of the type")->required();
  apps.set->add_option("--type", c->type_text, kTypeHelp)->required();

  apps.off = app->add_subcommand("off", "Switch the output off (code 0)");
  apps.off->add_option("--type", c->type_text,
                       "output type; without it, the type a live report shows");

  apps.sweep = app->add_subcommand("sweep", "Start a triangular sweep A->B in T1, back in T2");
  apps.sweep->add_option("--type", c->type_text, kTypeHelp)->required();
  apps.sweep->add_option("--from", c->from_text, "point A")->required();
  apps.sweep->add_option("--to", c->to_text, "point B")->required();
  apps.sweep->add_option("--t1", c->t1_text, "time A->B: 250ms, 5s, ... (10 ms steps, <= 600 s)")
      ->required();
  apps.sweep->add_option("--t2", c->t2_text, "time B->A, as --t1")->required();

  apps.replay = app->add_subcommand("replay", "Replay a logged channel from the SD card, or stop");
  apps.replay->add_option("--channel", c->channel_text, "AI1 to AI5");
  apps.replay->add_option("--count", c->count_text, "repetitions, 1 to 65535");
  apps.replay->add_flag("--endless", c->endless, "repeat until stopped");
  apps.replay->add_flag("--stop", c->stop, "stop a replay");

  apps.clock = app->add_subcommand("clock", "Read the instrument's clock, or set it");
  apps.clock->add_flag("--set", c->set_flag, "set it to the PC's local time, or to TIME");
  apps.clock->add_option("TIME", c->clock_text, "with --set: YYYY-MM-DDTHH:MM:SS");

  apps.monitor = app->add_subcommand("monitor", "Live reports at a fixed interval");
  apps.monitor->add_option("--interval", c->interval_text,
                           "100ms, 2s, ...; bare: ms (default 500)");
  apps.monitor->add_option("--count", c->count_text, "stop after N records");
  apps.monitor->add_option("--duration", c->duration_text, "stop after 5s, 1500ms, ...; bare: s");
  apps.monitor->add_flag("--csv", c->csv, "CSV: time,value,unit,type,mode");
  apps.monitor->add_option("--output", c->output_path, "append the records to FILE (- stdout)");
  apps.monitor->add_flag("--reconnect", c->reconnect,
                         "after a lost link, retry every second and go on");

  if (script) {
    apps.sleep = app->add_subcommand("sleep", "Wait a while");
    apps.sleep->add_option("TIME", c->sleep_text, "250ms, 2s, ...; bare: ms")->required();
  } else {
    apps.list_ports = app->add_subcommand("list-ports", "The serial ports present");
    apps.run = app->add_subcommand("run", "Run a script: one command a line, on one connection");
    apps.run->add_option("FILE", c->script_path, "the script, or - for stdin")->required();
    apps.run->footer(
        "A line holds a command as on the command line (without the global options), or\n"
        "sleep TIME; words split as a shell splits them, with quotes; # starts a comment.\n"
        "The whole script is checked before the link opens; it stops at the first failing\n"
        "line and exits with that line's code.");
    apps.help = app->add_subcommand("help", "The help of COMMAND, or this one");
    apps.help->add_option("COMMAND", c->help_topic, "a command");
  }
  return apps;
}

CommandKind KindOf(const CommandApps& apps, const Command& c) {
  if (apps.get->parsed()) return CommandKind::Get;
  if (apps.set->parsed()) return CommandKind::Set;
  if (apps.off->parsed()) return CommandKind::Off;
  if (apps.sweep->parsed()) return CommandKind::Sweep;
  if (apps.replay->parsed()) return c.stop ? CommandKind::ReplayStop : CommandKind::Replay;
  if (apps.clock->parsed()) return c.set_flag ? CommandKind::ClockSet : CommandKind::Clock;
  if (apps.monitor->parsed()) return CommandKind::Monitor;
  if (apps.list_ports != nullptr && apps.list_ports->parsed()) return CommandKind::ListPorts;
  if (apps.run != nullptr && apps.run->parsed()) return CommandKind::Run;
  if (apps.sleep != nullptr && apps.sleep->parsed()) return CommandKind::Sleep;
  return CommandKind::Identify;
}

void Configure(CLI::App* app) {
  app->require_subcommand(1);
}

// The global options, before or after the command, and in each command's help.
void AddGlobalOptions(CLI::App* app, GlobalOptions* globals) {
  app->add_option("-c,--connect", globals->connect, "LINK: the port or host (see --help)");
  app->add_flag("--json", globals->json, "one JSON object per line on stdout");
  app->add_flag("-v,--verbose", globals->verbose,
                "every frame sent and received, in hex, on stderr");
}

// help COMMAND: that command's help; plain help: the program's.
bool HelpText(CLI::App* app, const std::string& topic, std::string* text) {
  if (topic.empty()) {
    *text = app->help();
    return true;
  }
  for (CLI::App* sub : app->get_subcommands({})) {
    if (sub->get_name() == topic) {
      *text = sub->help();
      return true;
    }
  }
  return false;
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
  ParsedCommandLine parsed;
  CLI::App app{kDescription, kProgramName};
  app.footer(kFooter);
  Configure(&app);
  app.set_version_flag("--version", std::string(kProgramName) + " " + RV_SOLA62_VERSION);
  AddGlobalOptions(&app, &parsed.globals);
  const CommandApps apps = AddCommands(&app, &parsed.command, false);
  for (CLI::App* sub : app.get_subcommands({})) {
    if (sub != apps.help) AddGlobalOptions(sub, &parsed.globals);
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    parsed.help_shown = true;
    // The help of the command it was given to.
    parsed.help = app.help();
    for (CLI::App* sub : app.get_subcommands()) parsed.help = sub->help();
    return parsed;
  } catch (const CLI::CallForVersion& version) {
    parsed.help_shown = true;
    parsed.help = std::string(version.what()) + "\n";
    return parsed;
  } catch (const CLI::ParseError& error) {
    parsed.outcome = Failure(kExitUsage, std::string(error.what()) + " (see --help)");
    return parsed;
  }
  if (apps.help->parsed()) {
    parsed.help_shown = HelpText(&app, parsed.command.help_topic, &parsed.help);
    if (!parsed.help_shown) {
      parsed.outcome = Failure(
          kExitUsage, "help " + parsed.command.help_topic + ": no such command (see --help)");
    }
    return parsed;
  }
  parsed.command.kind = KindOf(apps, parsed.command);
  return parsed;
}

Outcome ParseScriptWords(const std::vector<std::string>& words, Command* command) {
  *command = Command{};
  CLI::App app{"", "script"};
  Configure(&app);
  app.set_help_flag();
  const CommandApps apps = AddCommands(&app, command, true);
  std::string names;
  bool known = false;
  for (CLI::App* sub : app.get_subcommands({})) {
    sub->set_help_flag();
    names += (names.empty() ? "" : ", ") + sub->get_name();
    known = known || (!words.empty() && words[0] == sub->get_name());
  }
  if (!known) {
    return Failure(kExitUsage, "'" + (words.empty() ? "" : words[0]) +
                                   "' is not a command of a script (" + names + ")");
  }
  // CLI11 takes a vector of arguments last first.
  std::vector<std::string> reversed(words.rbegin(), words.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    return Failure(kExitUsage, error.what());
  }
  command->kind = KindOf(apps, *command);
  return {};
}
