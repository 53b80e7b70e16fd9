#include "settings/port_choice.h"

#include <cstring>

namespace {

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool BeginsWithIgnoringCase(const std::string& text, const char* prefix) {
  size_t length = std::strlen(prefix);
  if (text.size() < length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  }
  return true;
}

}  // namespace

PortList MakePortList(const std::vector<std::string>& enumerated) {
  PortList list{{}, -1};
  for (const std::string& name : enumerated) {
    // A name this long cannot be stored; cutting it would name another port.
    if (name.empty() || name.size() >= kPortNameSize) continue;
    list.items.push_back(name);
  }
  if (list.items.empty()) {
    list.items.push_back("なし");
  } else {
    list.selected = 0;
  }
  return list;
}

void SelectStoredPort(PortList* list, const char* com_port) {
  // The port itself first: COM1 must not give way to a COM10 listed above it.
  const size_t length = std::strlen(com_port);
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < list->items.size(); ++i) {
      const std::string& item = list->items[i];
      if ((pass == 1 || item.size() == length) && BeginsWithIgnoringCase(item, com_port)) {
        list->selected = static_cast<int>(i);
        return;
      }
    }
  }
}

bool TakePortName(const char* text, char* com_port) {
  size_t length = std::strlen(text);
  if (std::strncmp(text, "COM", 3) != 0 || length >= kPortNameSize) return false;
  std::memcpy(com_port, text, length + 1);
  return true;
}
