// The two records the program remembers between runs, with their defaults.
#pragma once
#include <cstdint>

struct ConnectionSettings {
  bool connected;
  int32_t connection_type;  // 0 serial, 1 TCP
  char com_port[100];
  uint32_t ip_address;  // first octet in the most significant byte
  uint32_t tcp_port;
};

struct SweepSettings {
  double a;
  double b;
  uint32_t t1;  // units of 10 ms
  uint32_t t2;
};

struct OutputSettings {
  int32_t output_type;
  double output_value[4];
  SweepSettings sweep[4];
  int32_t replay_channel;
  bool replay_endless;
  uint32_t replay_count;
};

// The instrument's own access point answers here; nothing else knows this value.
constexpr uint32_t kDefaultIpAddress = (192u << 24) | (168u << 16) | (4u << 8) | 1u;
constexpr uint32_t kDefaultTcpPort = 10101;
// A port beyond 16 bits would be cut to another port at connect.
constexpr bool IsUsableTcpPort(long long port) {
  return port >= 1 && port <= 65535;
}

extern const char* const kConnectionMethodNames[2];  // "USB", "Wi-Fi"

extern ConnectionSettings connection_settings;
extern OutputSettings output_settings;

void ResetConnectionSettings();  // defaults, as before the file is read
void ResetOutputSettings();
