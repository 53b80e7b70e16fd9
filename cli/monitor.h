// monitor: a live report every interval, paced from a monotonic clock, until
// a count, a duration or a signal. A lost link (the window's rule: no valid
// frame for more than 10 s; or at once when the transport has ended) ends it,
// or with reconnect is bridged by a new connection; no record is ever made
// up for the gap.
#pragma once
#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/records.h"
#include "cli/session.h"
#include "link/link_address.h"

// Runs on the open session. Records and, in JSON, the link events go to out;
// text and CSV events go to stderr.
Outcome RunMonitor(ClientSession* client, const MonitorOptions& options, const LinkAddress& address,
                   OutputFormat format, LineSink* out);
