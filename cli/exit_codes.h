// How a run of the client ends: its exit code and the one line that says why.
#pragma once
#include <string>

enum ExitCode {
  kExitOk = 0,
  kExitNoAnswer = 1,  // no answer within 2 s, or a failing status
  kExitUsage = 2,     // nothing was sent
  kExitConnect = 3,   // port or host unavailable, or the peer is not the instrument
  kExitLinkLost = 4,
  kExitOutput = 5,        // the output could not be written
  kExitSignalBase = 128,  // + the signal's number, as shells count it
};

struct Outcome {
  int code = kExitOk;
  std::string message;            // empty on success
  bool silent = false;            // ends the run without a message: closed stdout, a signal
  const char* command = nullptr;  // the failing command, as JSON names it, when known
  int status = -1;                // the instrument's failing status, when it gave one

  bool ok() const { return code == kExitOk && !silent; }
};

inline Outcome Ending(int code) {
  return {code, "", true};
}

inline Outcome Failure(int code, std::string message) {
  return {code, std::move(message)};
}
