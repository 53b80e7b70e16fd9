// What the server needs to publish on an MQTT broker, from its options.
#pragma once
#include <cstdint>
#include <string>

struct MqttSettings {
  std::string host;  // empty: no MQTT
  int port = 1883;
  std::string prefix;  // empty: rv-sola62/<serial number>, once identified
  std::string user;
  std::string password;  // from RV_SOLA62_MQTT_PASSWORD only
  std::string cafile;    // TLS when set
  uint32_t interval_ms = 500;
};

extern const char* const kMqttPasswordVariable;  // "RV_SOLA62_MQTT_PASSWORD"

namespace CLI {
class App;
}

// The --mqtt options as typed; the password never among them, where ps
// would show it.
struct MqttOptionTexts {
  std::string url;
  long interval_ms = 500;
};
void AddMqttOptions(CLI::App* app, MqttOptionTexts* texts, MqttSettings* settings);
// After the parse: the URL and the prefix read, the password taken from the
// environment. False with the message.
bool FinishMqttOptions(const MqttOptionTexts& texts, MqttSettings* settings, std::string* error);

// mqtt://HOST[:PORT]; false with the reason.
bool ParseMqttUrl(const std::string& text, MqttSettings* settings, std::string* error);

// A prefix that names topics to publish on: no wildcard, no empty start.
bool ValidMqttPrefix(const std::string& prefix, std::string* error);
