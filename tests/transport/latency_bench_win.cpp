// Round trip of SendCommandAndWait against the simulator.
// usage: transport_latency (tcp PORT | serial COMn) [COUNT] [--nagle]
// --nagle leaves Nagle's algorithm on, to compare with the default.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// clang-format off
#include "tests/transport/transport_env_win.h"
#include "link/tcp_transport_win.h"
// clang-format on
#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/transports_win.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: transport_latency (tcp PORT | serial COMn) [COUNT] [--nagle]\n");
    return 2;
  }
  int count = argc > 3 && argv[3][0] != '-' ? std::atoi(argv[3]) : 500;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--nagle") == 0) tcp_no_delay = false;
  }
  ResetLink();
  bool tcp = std::strcmp(argv[1], "tcp") == 0;
  if (tcp) {
    UseTcp(std::atoi(argv[2]));
  } else {
    UseSerial(argv[2]);
  }
  if ((tcp ? OpenTcp() : OpenSerial()) != 0 || IdentifyInstrument() != 0) {
    std::fprintf(stderr, "could not connect\n");
    CloseTransport();
    return 1;
  }
  LARGE_INTEGER frequency, before, after;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> ms;
  int timeouts = 0;
  for (int i = 0; i < count; ++i) {
    QueryPerformanceCounter(&before);
    // Alternate a reply-bearing command with an acknowledged one.
    int result = i % 2 ? SendCommandAndWait(CMD_GET_CLOCK, 0, nullptr)
                       : SendCommandAndWait(CMD_STOP_REPLAY, 0, nullptr);
    QueryPerformanceCounter(&after);
    if (result != 0) ++timeouts;
    ms.push_back(1000.0 * (after.QuadPart - before.QuadPart) / frequency.QuadPart);
  }
  Disconnect();
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) { return ms[static_cast<size_t>(q * (ms.size() - 1))]; };
  std::printf(
      "%s%s: %d commands, median %.1f ms, p99 %.1f ms, min %.1f ms, max %.1f ms, %d timeouts\n",
      tcp ? "tcp" : "serial", tcp && !tcp_no_delay ? " (nagle)" : "", count, at(0.5), at(0.99),
      ms.front(), ms.back(), timeouts);
  return timeouts ? 1 : 0;
}
