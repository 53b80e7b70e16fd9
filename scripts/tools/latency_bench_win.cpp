// Round trip of SendCommandAndWait against the simulator.
// usage: transport_latency (tcp PORT | serial COMn) [COUNT] [--nodelay] [--live]
// --nodelay sets TCP_NODELAY, to compare with the default; --live
// sends a live-value request without waiting right before each command, as
// the window's timer does, which is where Nagle could hold a frame back.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// clang-format off
#include <winsock2.h>
#include <windows.h>
#include "link/tcp_transport_win.h"
// clang-format on
#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "link/transports_win.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(
        stderr, "usage: transport_latency (tcp PORT | serial COMn) [COUNT] [--nodelay] [--live]\n");
    return 2;
  }
  const int count = argc > 3 && argv[3][0] != '-' ? std::atoi(argv[3]) : 500;
  bool live = false;
  for (int i = 3; i < argc; ++i) {
    tcp_no_delay |= std::strcmp(argv[i], "--nodelay") == 0;
    live |= std::strcmp(argv[i], "--live") == 0;
  }
  const bool tcp = std::strcmp(argv[1], "tcp") == 0;
  const int opened =
      tcp ? OpenTcpLink(INADDR_LOOPBACK, std::atoi(argv[2])) : OpenSerialLink(argv[2]);
  if (opened != 0 || IdentifyInstrument() != 0) {
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
    if (live) SendFrame(CMD_GET_OUTPUT, 0, nullptr);
    // Alternate a reply-bearing command with an acknowledged one.
    timeouts += SendCommandAndWait(i % 2 ? CMD_GET_CLOCK : CMD_STOP_REPLAY, 0, nullptr) != 0;
    QueryPerformanceCounter(&after);
    ms.push_back(1000.0 * (after.QuadPart - before.QuadPart) / frequency.QuadPart);
  }
  Disconnect();
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) { return ms[static_cast<size_t>(q * (ms.size() - 1))]; };
  std::printf(
      "%s%s%s: %d commands, median %.1f ms, p99 %.1f ms, min %.1f ms, max %.1f ms, %d timeouts\n",
      tcp ? "tcp" : "serial", tcp && tcp_no_delay ? " nodelay" : "", live ? " live" : "", count,
      at(0.5), at(0.99), ms.front(), ms.back(), timeouts);
  return timeouts ? 1 : 0;
}
