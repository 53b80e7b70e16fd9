#include "server/mqtt_settings.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <fstream>

#include "cli/time_texts.h"

const char* const kMqttPasswordVariable = "RV_SOLA62_MQTT_PASSWORD";

bool ParseMqttUrl(const std::string& text, MqttSettings* settings, std::string* error) {
  const std::string scheme = "mqtt://";
  const std::string rest = text.compare(0, scheme.size(), scheme) == 0 ? text.substr(7) : "";
  const size_t colon = rest.rfind(':');
  const std::string host = rest.substr(0, colon);
  long port = 1883;
  const bool port_ok =
      colon == std::string::npos ||
      (ParseWholeNumber(rest.substr(colon + 1), &port) && port >= 1 && port <= 65535);
  if (host.empty() || host.find_first_of("/@[]") != std::string::npos || !port_ok) {
    *error = "--mqtt " + text + " is not mqtt://HOST[:PORT] (port 1 to 65535)";
    return false;
  }
  settings->host = host;
  settings->port = static_cast<int>(port);
  return true;
}

bool ValidMqttPrefix(const std::string& prefix, std::string* error) {
  bool control = false;
  for (char c : prefix) control = control || static_cast<unsigned char>(c) < 0x20;
  if (prefix.empty() || control || prefix.find_first_of("+#") != std::string::npos ||
      prefix.front() == '$' || prefix.back() == '/') {
    *error = "--mqtt-prefix " + prefix +
             " cannot start topics: it must not be empty, hold + or # or control characters, "
             "start with $ or end with /";
    return false;
  }
  return true;
}

void AddMqttOptions(CLI::App* app, MqttOptionTexts* texts, MqttSettings* settings) {
  app->add_option("--mqtt", texts->url, "publish on the MQTT broker mqtt://HOST[:PORT] (1883)");
  app->add_option("--mqtt-prefix", settings->prefix,
                  "topics under PREFIX (rv-sola62/<serial number>)");
  app->add_option("--mqtt-user", settings->user,
                  "broker user; the password from RV_SOLA62_MQTT_PASSWORD");
  app->add_option("--mqtt-cafile", settings->cafile, "TLS to the broker, trusting this CA file");
  app->add_option("--mqtt-interval", texts->interval_ms, "live reports at most every MS ms (500)")
      ->check(CLI::Range(10L, 3600000L));
}

bool FinishMqttOptions(const MqttOptionTexts& texts, MqttSettings* settings, std::string* error) {
  settings->interval_ms = static_cast<uint32_t>(texts.interval_ms);
  const bool other = !settings->prefix.empty() || !settings->user.empty() ||
                     !settings->cafile.empty() || texts.interval_ms != 500;
  if (texts.url.empty()) {
    if (other) *error = "the --mqtt-* options need --mqtt mqtt://HOST[:PORT]";
    return !other;
  }
  if (!ParseMqttUrl(texts.url, settings, error)) return false;
  if (!settings->prefix.empty() && !ValidMqttPrefix(settings->prefix, error)) return false;
  if (!settings->cafile.empty() && !std::ifstream(settings->cafile)) {
    *error = "--mqtt-cafile " + settings->cafile + " cannot be read";
    return false;
  }
  const char* password = std::getenv(kMqttPasswordVariable);
  if (password != nullptr) settings->password = password;
  return true;
}
