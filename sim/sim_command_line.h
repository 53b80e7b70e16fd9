// The simulator's command line.
#pragma once
#include <cstdint>
#include <string>

#include "sim/instrument_model.h"

struct SimCommandLine {
  SimOptions options;
  int tcp_port = -1;  // -1: no TCP; 0: pick a free port
  std::string pty_link;
  std::string log_path;  // empty: stderr
  bool echo = false;     // a loopback plug instead of the instrument
  bool stall = false;    // never read: the link's buffers fill and the peer's writes stall
  bool has_clock = false;
  int64_t clock_seconds = 0;  // since 2000-01-01
};

// False with a message in *error when the arguments are wrong.
bool ParseSimCommandLine(int argc, const char* const* argv, SimCommandLine* out,
                         std::string* error);
extern const char* const kSimUsage;
