#include <csignal>

#include "server/server_platform.h"

void PrepareServerProcess() {
  // A peer that closes its socket must give a failed write, not end the process.
  std::signal(SIGPIPE, SIG_IGN);
}

bool ServerLinksAreComPorts() {
  return false;
}
