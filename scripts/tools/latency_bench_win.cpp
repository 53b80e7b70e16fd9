// Round trip of SendCommandAndWait against the simulator.
// usage: transport_latency (tcp PORT | serial COMn) [COUNT] [--nodelay] [--live]
// --nodelay sets TCP_NODELAY, to compare with the default; --live
// sends a live-value request without waiting right before each command, as
// the window's timer does, which is where Nagle could hold a frame back.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "link/transports.h"

namespace {
LinkSession session;  // large: not on the stack
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(
        stderr, "usage: transport_latency (tcp PORT | serial COMn) [COUNT] [--nodelay] [--live]\n");
    return 2;
  }
  const int count = argc > 3 && argv[3][0] != '-' ? std::atoi(argv[3]) : 500;
  bool live = false;
  LinkAddress address;
  for (int i = 3; i < argc; ++i) {
    address.tcp_no_delay |= std::strcmp(argv[i], "--nodelay") == 0;
    live |= std::strcmp(argv[i], "--live") == 0;
  }
  const bool tcp = std::strcmp(argv[1], "tcp") == 0;
  address.tcp = tcp;
  address.host = "127.0.0.1";
  address.port = static_cast<uint16_t>(std::atoi(argv[2]));
  address.device = argv[2];
  InitLinkSession(&session);
  std::string reason;
  if (OpenLink(&session, address, &reason) != 0 || IdentifyInstrument(&session) != 0) {
    std::fprintf(stderr, "could not connect %s\n", reason.c_str());
    CloseTransport(&session);
    return 1;
  }
  LARGE_INTEGER frequency, before, after;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> ms;
  int timeouts = 0;
  for (int i = 0; i < count; ++i) {
    QueryPerformanceCounter(&before);
    if (live) SendFrame(&session, CMD_GET_OUTPUT, 0, nullptr);
    // Alternate a reply-bearing command with an acknowledged one.
    timeouts +=
        SendCommandAndWait(&session, i % 2 ? CMD_GET_CLOCK : CMD_STOP_REPLAY, 0, nullptr) != 0;
    QueryPerformanceCounter(&after);
    ms.push_back(1000.0 * (after.QuadPart - before.QuadPart) / frequency.QuadPart);
  }
  Disconnect(&session);
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) { return ms[static_cast<size_t>(q * (ms.size() - 1))]; };
  std::printf(
      "%s%s%s: %d commands, median %.1f ms, p99 %.1f ms, min %.1f ms, max %.1f ms, %d timeouts\n",
      tcp ? "tcp" : "serial", tcp && address.tcp_no_delay ? " nodelay" : "", live ? " live" : "",
      count, at(0.5), at(0.99), ms.front(), ms.back(), timeouts);
  return timeouts ? 1 : 0;
}
