#include "link/port_enumeration_win.h"

#include <windows.h>
// After windows.h, which it needs.
#include <setupapi.h>

#include "link/utf16_win.h"

namespace {

// The serial port device interface class.
const GUID kComPortInterface = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

}  // namespace

std::vector<std::string> EnumeratePortNames() {
  std::vector<std::string> names;
  HDEVINFO devices = SetupDiGetClassDevsW(&kComPortInterface, nullptr, nullptr,
                                          DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (devices == INVALID_HANDLE_VALUE) return names;
  SP_DEVINFO_DATA device;
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    HKEY key =
        SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) continue;
    wchar_t name[128];
    DWORD type = 0;
    DWORD bytes = sizeof name - sizeof name[0];  // room left for the terminator
    if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &bytes) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
      name[bytes / sizeof name[0]] = L'\0';
      names.push_back(Narrow(name));
    }
    RegCloseKey(key);
  }
  SetupDiDestroyDeviceInfoList(devices);
  return names;
}
