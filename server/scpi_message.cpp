#include "server/scpi_message.h"

#include "server/scpi_command_table.h"
#include "server/scpi_parser.h"

namespace {

struct ResolvedUnit {
  const ScpiCommand* command;
  ScpiCall call;
};

// The unit's command under the path rule, with its values: 0, or the error.
int Resolve(const ScpiUnit& unit, std::vector<std::string>* path, ResolvedUnit* out) {
  std::vector<std::string> header;
  if (!unit.common) {
    if (!unit.rooted) header = *path;
    header.insert(header.end(), unit.keywords.begin(), unit.keywords.end());
  } else {
    header = unit.keywords;
  }
  const ScpiCommand* command = FindScpiCommand(header);
  if (command == nullptr || (unit.query ? command->query : command->set) == nullptr) return -113;
  if (!unit.common) path->assign(header.begin(), header.end() - 1);

  const int expected = unit.query ? 0 : command->param_count;
  const int given = static_cast<int>(unit.parameters.size());
  if (given > expected) return -108;
  if (given < expected) return -109;
  out->command = command;
  out->call.query = unit.query;
  out->call.values.resize(unit.parameters.size());
  for (size_t i = 0; i < unit.parameters.size(); ++i) {
    if (int error = ParseScpiValue(unit.parameters[i], command->param, &out->call.values[i])) {
      return error;
    }
  }
  return 0;
}

}  // namespace

std::string RunScpiMessage(ScpiContext* context, const std::string& message) {
  std::vector<ScpiUnit> units;
  if (int error = SplitScpiMessage(message, &units)) {
    PushScpiError(context->errors, error);
    return "";
  }
  std::vector<ResolvedUnit> resolved(units.size());
  std::vector<std::string> path;
  for (size_t i = 0; i < units.size(); ++i) {
    if (int error = Resolve(units[i], &path, &resolved[i])) {
      PushScpiError(context->errors, error);
      return "";
    }
  }
  context->replies.clear();
  for (const ResolvedUnit& unit : resolved) {
    (unit.call.query ? unit.command->query : unit.command->set)(context, unit.call);
  }
  std::string line;
  for (const std::string& reply : context->replies) {
    if (!line.empty()) line += ';';
    line += reply;
  }
  return line;
}
