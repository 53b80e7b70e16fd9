#include "server/server_options.h"

#include <CLI/CLI.hpp>
#include <cstdlib>

namespace {

const char* const kFooter =
    "LINK: COM3 (Windows), a device path such as /dev/ttyUSB0 (Linux), or\n"
    "tcp://HOST[:PORT]; without --connect, RV_SOLA62_CONNECT.\n"
    "Listeners take [ADDR:]PORT (port 0: a free one) or off; they listen on\n"
    "127.0.0.1 unless another address is named.\n"
    "Exit codes: 0 stopped by Ctrl+C or SIGTERM; 2 usage error; 3 a port could not\n"
    "be listened on.";

bool ReadPort(const std::string& text, uint16_t* port) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const long value = std::atol(text.c_str());
  if (value > 65535) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

bool ParseListenAddress(const std::string& text, ListenAddress* out, std::string* error) {
  ListenAddress address;
  if (text == "off") {
    address.off = true;
    *out = address;
    return true;
  }
  const size_t colon = text.rfind(':');
  std::string port = text;
  if (colon != std::string::npos) {
    address.host = text.substr(0, colon);
    port = text.substr(colon + 1);
    // [::1]:5025
    if (address.host.size() >= 2 && address.host.front() == '[' && address.host.back() == ']') {
      address.host = address.host.substr(1, address.host.size() - 2);
    }
  }
  if (address.host.empty() || !ReadPort(port, &address.port)) {
    *error = text + " is not [ADDR:]PORT or off";
    return false;
  }
  *out = address;
  return true;
}

ParsedServerOptions ParseServerOptions(int argc, const char* const* argv) {
  ParsedServerOptions parsed;
  ServerOptions& o = parsed.options;
  std::string scpi_text;
  std::string relay_text;
  std::vector<std::string> limit_texts;
  MqttOptionTexts mqtt_texts;

  CLI::App app(
      "Shares one RV-SOLA62 among several clients: its own frames on the relay\n"
      "port, SCPI over a raw TCP socket for VISA tools.",
      "rv-sola62-server");
  app.footer(kFooter);
  app.add_option("-c,--connect", o.connect, "LINK: the instrument");
  app.add_option("--scpi", scpi_text, "SCPI listener, [ADDR:]PORT or off (127.0.0.1:5025)");
  app.add_option("--relay", relay_text, "relay listener, [ADDR:]PORT or off (127.0.0.1:10101)");
  app.add_option("--limit", limit_texts, "TYPE=MIN:MAX in the type's unit, e.g. v=-5:5");
  app.add_option("--max-clients", o.max_clients, "clients at once, both ports (8)")
      ->check(CLI::Range(1, 1000));
  app.add_flag("-v,--verbose", o.verbose, "show every frame of the instrument link");
  AddMqttOptions(&app, &mqtt_texts, &o.mqtt);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    parsed.exit_code = 0;
    parsed.text = app.help();
    return parsed;
  } catch (const CLI::ParseError& e) {
    parsed.exit_code = kServerExitUsage;
    parsed.text = e.what();
    return parsed;
  }

  std::string error;
  auto fail = [&](const std::string& message) {
    parsed.exit_code = kServerExitUsage;
    parsed.text = message;
    return parsed;
  };
  if (o.connect.empty()) {
    const char* env = std::getenv("RV_SOLA62_CONNECT");
    if (env != nullptr) o.connect = env;
  }
  if (o.connect.empty()) return fail("no instrument: give -c LINK or set RV_SOLA62_CONNECT");
  if (!scpi_text.empty() && !ParseListenAddress(scpi_text, &o.scpi, &error)) {
    return fail("--scpi " + error);
  }
  if (!relay_text.empty() && !ParseListenAddress(relay_text, &o.relay, &error)) {
    return fail("--relay " + error);
  }
  for (const std::string& text : limit_texts) {
    if (!ParseSoftLimit(text, &o.limits, &error)) return fail(error);
  }
  if (!FinishMqttOptions(mqtt_texts, &o.mqtt, &error)) return fail(error);
  return parsed;
}
