// rv-sola62-server: one instrument shared by the window, scripts and SCPI
// tools.
#include <cstdio>

#include "link/link_address.h"
#include "server/instrument_worker.h"
#include "server/server_options.h"
#include "server/server_platform.h"
#include "server/server_run.h"

int main(int argc, char** argv) {
  PrepareServerProcess();
  const ParsedServerOptions parsed = ParseServerOptions(argc, argv);
  if (parsed.exit_code == 0) {
    std::fputs(parsed.text.c_str(), stdout);
    return 0;
  }
  if (parsed.exit_code > 0) {
    std::fprintf(stderr, "rv-sola62-server: %s\n", parsed.text.c_str());
    return parsed.exit_code;
  }
  LinkAddress address;
  std::string error;
  if (!ParseLinkAddress(parsed.options.connect, ServerLinksAreComPorts(), &address, &error)) {
    std::fprintf(stderr, "rv-sola62-server: %s\n", error.c_str());
    return kServerExitUsage;
  }
  InstrumentWorker* worker = CreateInstrumentWorker(address, parsed.options.verbose);
  return RunServer(parsed.options, worker);
}
