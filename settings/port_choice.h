// The serial-port list of the connection dialog and how the stored port
// name is matched against it.
#pragma once
#include <string>
#include <vector>

constexpr size_t kPortNameSize = 100;  // bytes, terminator included

struct PortList {
  std::vector<std::string> items;  // as shown, in enumeration order
  int selected;                    // -1 when nothing is selected
};

// The list for the names the system enumerated: every name that fits, the
// first one selected; or the single item "なし" with nothing selected.
PortList MakePortList(const std::vector<std::string>& enumerated);

// Selects the item that is com_port, or else the first item that begins
// with it, letters compared without regard to case; leaves the selection
// alone when none does.
void SelectStoredPort(PortList* list, const char* com_port);

// Copies text into com_port (kPortNameSize bytes) when it names a COM port
// and fits; returns whether it did.
bool TakePortName(const char* text, char* com_port);
