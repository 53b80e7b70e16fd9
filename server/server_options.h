// The server's command line, read with CLI11.
#pragma once
#include <cstdint>
#include <string>

#include "server/mqtt_settings.h"
#include "server/soft_limits.h"

constexpr int kServerExitUsage = 2;
constexpr int kServerExitListen = 3;

// Where a listener listens: an address and a port (0: a free one), or off.
struct ListenAddress {
  bool off = false;
  std::string host = "127.0.0.1";
  uint16_t port = 0;
};

// [ADDR:]PORT or off; false with the message in *error.
bool ParseListenAddress(const std::string& text, ListenAddress* out, std::string* error);

struct ServerOptions {
  std::string connect;  // as given, or RV_SOLA62_CONNECT
  ListenAddress scpi{false, "127.0.0.1", 5025};
  ListenAddress relay{false, "127.0.0.1", 10101};
  SoftLimits limits{};
  int max_clients = 8;
  bool verbose = false;
  MqttSettings mqtt;  // host empty: no broker
};

struct ParsedServerOptions {
  int exit_code = -1;  // -1: run; else exit with it after printing text
  std::string text;    // help for stdout, or the error for stderr
  ServerOptions options;
};

ParsedServerOptions ParseServerOptions(int argc, const char* const* argv);
