#include "link/link_address.h"

#include <cctype>

namespace {

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::string Forms(bool com_ports) {
  return com_ports ? "COMn or tcp://HOST[:PORT]"
                   : "a device path such as /dev/ttyUSB0, or tcp://HOST[:PORT]";
}

bool ParseTcp(const std::string& rest, LinkAddress* out, std::string* error) {
  std::string host = rest;
  std::string port;
  // An IPv6 address is bracketed, so that its colons are not the port's.
  const size_t bracket = rest[0] == '[' ? rest.find(']') : 0;
  const size_t colon = rest.find(':', bracket == std::string::npos ? 0 : bracket);
  if (colon != std::string::npos) {
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    if (!AllDigits(port) || port.size() > 5 || std::stol(port) < 1 || std::stol(port) > 65535) {
      *error = "port '" + port + "' of tcp://" + rest + " is not a number from 1 to 65535";
      return false;
    }
  }
  if (bracket != 0 && bracket == host.size() - 1) host = host.substr(1, bracket - 1);
  // Names and addresses only: no user part or path.
  if (host.empty() || host.find_first_of("/@[]?# ") != std::string::npos ||
      (bracket == 0 && host.find(':') != std::string::npos)) {
    *error = "tcp://" + rest + " does not name a host (tcp://HOST[:PORT])";
    return false;
  }
  out->tcp = true;
  out->host = host;
  out->port = port.empty() ? kDefaultLinkTcpPort : static_cast<uint16_t>(std::stol(port));
  return true;
}

}  // namespace

bool ParseLinkAddress(const std::string& text, bool com_ports, LinkAddress* out,
                      std::string* error) {
  *out = LinkAddress{};
  std::string scheme = text.substr(0, 6);
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (scheme == "tcp://") return ParseTcp(text.substr(6), out, error);
  if (com_ports) {
    std::string upper;
    for (char c : text) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string number = upper.size() > 3 ? upper.substr(3) : "";
    if (upper.compare(0, 3, "COM") == 0 && AllDigits(number) && number.size() <= 3 &&
        std::stoi(number) >= 1 && std::stoi(number) <= 255) {
      out->device = upper;
      return true;
    }
  } else if (!text.empty() && text[0] == '/') {
    out->device = text;
    return true;
  }
  *error = "LINK '" + text + "' is not " + Forms(com_ports);
  return false;
}

std::string LinkAddressText(const LinkAddress& address) {
  if (!address.tcp) return address.device;
  const bool ipv6 = address.host.find(':') != std::string::npos;
  return "tcp://" + (ipv6 ? "[" + address.host + "]" : address.host) + ":" +
         std::to_string(address.port);
}
