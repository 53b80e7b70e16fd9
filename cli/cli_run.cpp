#include "cli/cli_run.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <thread>

#include "cli/cli_platform.h"
#include "cli/command_checks.h"
#include "cli/command_line.h"
#include "cli/monitor.h"
#include "cli/records.h"
#include "cli/script.h"
#include "cli/session.h"

namespace {

const char* const kLinkVariable = "RV_SOLA62_CONNECT";

struct Step {
  int line;  // 0: the command line
  Command command;
};

// A failure of step's command, named so in JSON.
Outcome Of(const Step& step, Outcome outcome) {
  if (outcome.ok()) return outcome;
  if (step.line > 0) outcome.message = "line " + std::to_string(step.line) + ": " + outcome.message;
  if (outcome.command == nullptr) outcome.command = CommandJsonName(step.command.kind);
  return outcome;
}

int Report(const Outcome& outcome, bool json) {
  if (outcome.ok() || outcome.silent) return outcome.code;
  std::fprintf(stderr, "%s: %s\n", kProgramName, outcome.message.c_str());
  if (json) {
    LineSink out;
    WriteLine(&out, ErrorJson(outcome));
  }
  return outcome.code;
}

bool ReadScript(const std::string& path, std::string* text, std::string* reason) {
  if (path == "-") {
    text->assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  // A folder opens, but its reading fails.
  FILE* file = std::fopen(path.c_str(), "rb");
  char block[4096];
  size_t count = 0;
  while (file != nullptr && (count = std::fread(block, 1, sizeof block, file)) > 0) {
    text->append(block, count);
  }
  const bool read = file != nullptr && !std::ferror(file);
  if (!read) *reason = "cannot read the script " + path + ": " + std::strerror(errno);
  if (file != nullptr) std::fclose(file);
  return read;
}

// A monitor's --output is tried now, so that a file it cannot write stops
// the run before anything is sent; a file that was not there is not left
// behind by a run that fails before its monitor.
Outcome CheckOutputFile(const Command& command) {
  const std::string& path = command.monitor.output_path;
  if (command.kind != CommandKind::Monitor || path.empty()) return {};
  const bool existed = std::ifstream(path).good();
  LineSink sink;
  bool empty = false;
  std::string reason;
  if (!OpenAppending(path, &sink, &empty, &reason)) {
    return Failure(kExitUsage, "--output " + path + ": " + reason);
  }
  CloseSink(&sink);
  if (!existed) std::remove(path.c_str());
  return {};
}

Outcome Prepare(Step* step, bool json) {
  Outcome o = PrepareCommand(&step->command, json);
  if (o.ok()) o = CheckOutputFile(step->command);
  return Of(*step, o);
}

// Every line of a script, checked before the link opens.
Outcome ScriptSteps(const std::string& path, bool json, std::vector<Step>* steps) {
  std::string text;
  std::string reason;
  if (!ReadScript(path, &text, &reason)) return Failure(kExitUsage, reason);
  for (const ScriptLine& line : SplitScript(text)) {
    Step step{line.number, {}};
    Outcome o = line.problem.empty() ? ParseScriptWords(line.words, &step.command)
                                     : Failure(kExitUsage, line.problem);
    // A line that is no command fails the run.
    if (!o.ok()) step.command.kind = CommandKind::Run;
    o = Of(step, o);
    if (o.ok()) o = Prepare(&step, json);
    if (!o.ok()) return o;
    steps->push_back(std::move(step));
  }
  return {};
}

Outcome LinkFrom(const GlobalOptions& globals, LinkAddress* address) {
  std::string text = globals.connect;
  if (text.empty()) {
    const char* variable = std::getenv(kLinkVariable);
    if (variable != nullptr) text = variable;
  }
  if (text.empty()) {
    return Failure(kExitUsage, std::string("no link: give -c/--connect LINK or set ") +
                                   kLinkVariable + " (see --help)");
  }
  std::string error;
  if (!ParseLinkAddress(text, LinksAreComPorts(), address, &error)) {
    return Failure(kExitUsage, error);
  }
  return {};
}

Outcome Monitor(ClientSession* client, const Command& command, const LinkAddress& address,
                const GlobalOptions& globals) {
  const OutputFormat format = FormatOf(globals, command);
  LineSink sink;
  bool empty = true;
  std::string reason;
  if (!command.monitor.output_path.empty() &&
      !OpenAppending(command.monitor.output_path, &sink, &empty, &reason)) {
    return Failure(kExitUsage, "--output " + command.monitor.output_path + ": " + reason);
  }
  if (format == OutputFormat::Csv && empty) WriteLine(&sink, kCsvHeader);
  Outcome o = RunMonitor(client, command.monitor, address, format, &sink);
  if (o.ok()) o = WriteOutcome(sink);
  CloseSink(&sink);
  return o;
}

Outcome Pause(uint32_t ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (Interrupted()) return {};
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        std::chrono::milliseconds(10), until - std::chrono::steady_clock::now()));
  }
  return {};
}

Outcome RunStep(ClientSession* client, const Step& step, const LinkAddress& address,
                const GlobalOptions& globals) {
  const Command& c = step.command;
  if (c.kind == CommandKind::Sleep) return Pause(c.sleep_ms);
  if (c.kind == CommandKind::Monitor) return Monitor(client, c, address, globals);
  LineSink out;
  const Outcome o = RunLinkCommand(client, c, FormatOf(globals, c), &out);
  return o.ok() ? WriteOutcome(out) : o;
}

Outcome RunSteps(ClientSession* client, const std::vector<Step>& steps, const LinkAddress& address,
                 const GlobalOptions& globals) {
  for (const Step& step : steps) {
    Outcome o = RunStep(client, step, address, globals);
    if (!o.ok()) return Of(step, o);
    if (Interrupted()) break;
  }
  return {};
}

void ListPorts(bool json) {
  LineSink out;
  for (const SerialPortInfo& port : ListSerialPorts()) WriteLine(&out, PortLine(port, json));
}

}  // namespace

int RunCli(int argc, const char* const* argv) {
  PrepareProcess();
  ParsedCommandLine parsed = ParseCommandLine(argc, argv);
  if (parsed.help_shown) {
    std::fputs(parsed.help.c_str(), stdout);
    return kExitOk;
  }
  const GlobalOptions& globals = parsed.globals;
  if (!parsed.outcome.ok()) return Report(parsed.outcome, globals.json);
  if (parsed.command.kind == CommandKind::ListPorts) {
    ListPorts(globals.json);
    return kExitOk;
  }

  std::vector<Step> steps;
  Outcome o;
  if (parsed.command.kind == CommandKind::Run) {
    o = ScriptSteps(parsed.command.script_path, globals.json, &steps);
  } else {
    steps.push_back({0, parsed.command});
    o = Prepare(&steps.back(), globals.json);
  }
  LinkAddress address;
  if (o.ok()) o = LinkFrom(globals, &address);
  if (!o.ok() && o.command == nullptr) o.command = CommandJsonName(parsed.command.kind);
  if (!o.ok()) return Report(o, globals.json);

  // A signal ends a monitor as its normal end; anything else it cuts short.
  const bool monitor = parsed.command.kind == CommandKind::Monitor;
  WatchForInterrupts(monitor ? kExitOk : -1);
  ClientSession client;
  StartClientSession(&client, globals.verbose);
  client.interrupted = Interrupted;
  client.link_open = SetLinkOpen;
  o = OpenSession(&client, address);
  if (o.ok()) {
    o = RunSteps(&client, steps, address, globals);
    CloseSession(&client);
  }
  if (Interrupted()) o = Ending(monitor ? kExitOk : kExitSignalBase + InterruptingSignal());
  if (!o.ok() && o.command == nullptr) o.command = CommandJsonName(parsed.command.kind);
  return Report(o, globals.json);
}
