// The server's run: listeners, the instrument worker, clients, until
// SIGINT or SIGTERM (Ctrl+C or Ctrl+Break on Windows).
#pragma once
#include "server/instrument_worker.h"
#include "server/server_options.h"

// Serves the clients on worker, which is made but not started: others may
// add their observers to it first. Starts it, and stops and frees it at the
// end. The exit code: 0 after a signal, 3 when a port cannot be listened on.
int RunServer(const ServerOptions& options, InstrumentWorker* worker);
