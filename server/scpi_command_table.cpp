#include "server/scpi_command_table.h"

#include "server/scpi_parser.h"

namespace {

using P = ScpiParam;

constexpr ScpiCommand kCommands[] = {
    {"*IDN", P::Word, 0, nullptr, RunIdentify},
    {"*RST", P::Word, 0, RunReset, nullptr},
    {"*CLS", P::Word, 0, RunClearStatus, nullptr},
    {"*OPC", P::Word, 0, RunOperationComplete, QueryOperationComplete},
    {"*WAI", P::Word, 0, RunWait, nullptr},
    {"*ESR", P::Word, 0, nullptr, QueryEventStatus},
    {"*STB", P::Word, 0, nullptr, QueryStatusByte},
    {"*TST", P::Word, 0, nullptr, QuerySelfTest},
    {"SYSTem:ERRor[:NEXT]", P::Word, 0, nullptr, QueryNextError},
    {"SYSTem:ERRor:COUNt", P::Word, 0, nullptr, QueryErrorCount},
    {"SYSTem:VERSion", P::Word, 0, nullptr, QueryVersion},
    {"SYSTem:DATE", P::Number, 3, SetDate, QueryDate},
    {"SYSTem:TIME", P::Number, 3, SetTime, QueryTime},
    {"[SOURce:]TYPE", P::Word, 1, SetType, QueryType},
    {"[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]", P::Voltage, 1, SetVoltage, QueryVoltage},
    {"[SOURce:]CURRent[:LEVel][:IMMediate][:AMPLitude]", P::Current, 1, SetCurrent, QueryCurrent},
    {"OUTPut[:STATe]", P::Boolean, 1, SetOutputState, QueryOutputState},
    {"[SOURce:]SWEep:STARt", P::Level, 1, SetSweepStart, QuerySweepStart},
    {"[SOURce:]SWEep:STOP", P::Level, 1, SetSweepStop, QuerySweepStop},
    {"[SOURce:]SWEep:TIME:RISE", P::Time, 1, SetRiseTime, QueryRiseTime},
    {"[SOURce:]SWEep:TIME:FALL", P::Time, 1, SetFallTime, QueryFallTime},
    {"INITiate[:IMMediate]", P::Word, 0, RunInitiate, nullptr},
    {"[SOURce:]REPLay:CHANnel", P::Word, 1, SetReplayChannel, QueryReplayChannel},
    {"[SOURce:]REPLay:COUNt", P::Count, 1, SetReplayCount, QueryReplayCount},
    {"[SOURce:]REPLay[:STATe]", P::Boolean, 1, SetReplayState, QueryReplayState},
    {"STATus:OPERation:CONDition", P::Word, 0, nullptr, QueryOperationCondition},
};

}  // namespace

const ScpiCommand* FindScpiCommand(const std::vector<std::string>& keywords) {
  static const std::vector<std::vector<ScpiNode>> patterns = [] {
    std::vector<std::vector<ScpiNode>> parsed;
    for (const ScpiCommand& command : kCommands)
      parsed.push_back(ParseScpiPattern(command.pattern));
    return parsed;
  }();
  for (size_t i = 0; i < patterns.size(); ++i) {
    if (HeaderMatches(patterns[i], keywords)) return &kCommands[i];
  }
  return nullptr;
}
