// The server's run: listeners, the instrument worker, clients, until
// SIGINT or SIGTERM (Ctrl+C or Ctrl+Break on Windows).
#pragma once
#include "link/link_address.h"
#include "server/server_options.h"

// The exit code: 0 after a signal, 3 when a port cannot be listened on.
int RunServer(const ServerOptions& options, const LinkAddress& address);
