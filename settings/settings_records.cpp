#include "settings/settings_records.h"

#include <cstring>

const char* const kConnectionMethodNames[2] = {"USB", "Wi-Fi"};

ConnectionSettings connection_settings;
OutputSettings output_settings;

void ResetConnectionSettings() {
  connection_settings = ConnectionSettings{};
  connection_settings.connection_type = 0;
  std::strcpy(connection_settings.com_port, "COM1");
  connection_settings.ip_address = kDefaultIpAddress;
  connection_settings.tcp_port = kDefaultTcpPort;
}

void ResetOutputSettings() {
  output_settings = OutputSettings{};
  output_settings.sweep[0] = {-100.0, 100.0, 500, 500};
  output_settings.sweep[1] = {-10.0, 10.0, 500, 500};
  output_settings.sweep[2] = {0.0, 20.0, 500, 500};
  output_settings.sweep[3] = {0.0, 20.0, 500, 500};
  output_settings.replay_count = 1;
}

namespace {
// Both records hold their defaults from the start of the process.
struct DefaultsAtStart {
  DefaultsAtStart() {
    ResetConnectionSettings();
    ResetOutputSettings();
  }
} defaults_at_start;
}  // namespace
