#include "cli/cli_run.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

Outcome AtLine(int line, Outcome outcome) {
  if (line > 0 && !outcome.ok())
    outcome.message = "line " + std::to_string(line) + ": " + outcome.message;
  return outcome;
}

int Report(const Outcome& outcome, bool json) {
  if (outcome.ok()) return kExitOk;
  std::fprintf(stderr, "%s: %s\n", kProgramName, outcome.message.c_str());
  if (json) {
    LineSink out;
    WriteLine(&out, ErrorJson(outcome.code, outcome.message));
  }
  return outcome.code;
}

bool ReadScript(const std::string& path, std::string* text, std::string* reason) {
  if (path == "-") {
    text->assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *reason = "cannot read the script " + path;
    return false;
  }
  std::ostringstream all;
  all << file.rdbuf();
  *text = all.str();
  return true;
}

// A monitor's --output is opened now, so that a file it cannot write stops
// the run before anything is sent.
Outcome CheckOutputFile(const Command& command) {
  if (command.kind != CommandKind::Monitor || command.monitor.output_path.empty()) return {};
  LineSink sink;
  bool empty = false;
  std::string reason;
  if (!OpenAppending(command.monitor.output_path, &sink, &empty, &reason)) {
    return Failure(kExitUsage, "--output " + command.monitor.output_path + ": " + reason);
  }
  CloseSink(&sink);
  return {};
}

Outcome Prepare(Step* step, bool json) {
  Outcome o = PrepareCommand(&step->command, json);
  if (o.ok()) o = CheckOutputFile(step->command);
  return AtLine(step->line, o);
}

// Every line of a script, checked before the link opens.
Outcome ScriptSteps(const std::string& path, bool json, std::vector<Step>* steps) {
  std::string text;
  std::string reason;
  if (!ReadScript(path, &text, &reason)) return Failure(kExitUsage, reason);
  for (const ScriptLine& line : SplitScript(text)) {
    Step step{line.number, {}};
    Outcome o = AtLine(line.number, ParseScriptWords(line.words, &step.command));
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
  Outcome o = RunMonitor(client, command.monitor, address, format, globals.verbose, &sink);
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
  return RunLinkCommand(client, c, FormatOf(globals, c), &out);
}

Outcome RunSteps(ClientSession* client, const std::vector<Step>& steps, const LinkAddress& address,
                 const GlobalOptions& globals) {
  for (const Step& step : steps) {
    Outcome o = RunStep(client, step, address, globals);
    // Ctrl+C ends a monitor well, but a script it stops has not run to its end.
    if (o.ok() && step.line > 0 && Interrupted()) o = Failure(kExitInterrupted, "interrupted");
    if (!o.ok()) return AtLine(step.line, o);
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
  if (!o.ok()) return Report(o, globals.json);

  WatchForInterrupts();
  ClientSession client;
  StartClientSession(&client, globals.verbose);
  o = OpenSession(&client, address);
  if (o.ok()) {
    o = RunSteps(&client, steps, address, globals);
    CloseSession(&client);
  }
  return Report(o, globals.json);
}
