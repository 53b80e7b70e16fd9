// How a run of the client ends: its exit code and the one line that says why.
#pragma once
#include <string>

enum ExitCode {
  kExitOk = 0,
  kExitNoAnswer = 1,  // no answer within 2 s, or a failing status
  kExitUsage = 2,     // nothing was sent
  kExitConnect = 3,   // port or host unavailable, or the peer is not the instrument
  kExitLinkLost = 4,
  kExitInterrupted = 130,  // a script stopped by Ctrl+C, as shells count it
};

struct Outcome {
  int code = kExitOk;
  std::string message;  // empty on success

  bool ok() const { return code == kExitOk; }
};

inline Outcome Failure(int code, std::string message) {
  return {code, std::move(message)};
}
