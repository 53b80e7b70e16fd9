// "config.ini" in the current directory through the private profile functions.
#include "settings/config_file_win.h"

#include <cstring>
#include <string>

#include "ui/wide_text_win.h"

namespace {

// Formed once, at load. Sized to the directory rather than to a fixed buffer,
// so a deep directory is neither cut nor overrun; if the system cannot open
// such a path, reads find nothing and writes fail silently like any
// unwritable file.
std::wstring config_path;

void FormConfigPath() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::wstring directory;
  if (size > 0) {
    directory.resize(size);
    DWORD length = GetCurrentDirectoryW(size, directory.data());
    directory.resize(length < size ? length : 0);
  }
  if (directory.empty()) directory = L".";  // still the current directory
  if (directory.back() != L'\\') directory += L'\\';
  config_path = directory + L"config.ini";
}

size_t ReadProfile(void*, const char* section, const char* key, char* out, size_t size) {
  wchar_t value[kProfileTextSize];
  value[0] = L'\0';
  GetPrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), L"", value, kProfileTextSize,
                           config_path.c_str());
  std::string text = Narrow(value);
  size_t length = text.size() < size ? text.size() : size - 1;
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
  return length;
}

void WriteProfile(void*, const char* section, const char* key, const char* value) {
  WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(value).c_str(),
                             config_path.c_str());
}

ProfileStore ConfigStore() {
  if (config_path.empty()) FormConfigPath();
  return ProfileStore{&ReadProfile, &WriteProfile, nullptr};
}

}  // namespace

void LoadSettings() {
  FormConfigPath();
  LoadSettingsFrom(ConfigStore());
}

void SaveSetting(SettingItem item) {
  SaveSettingTo(ConfigStore(), item);
}

void SaveOutputSettings() {
  SaveOutputItemsTo(ConfigStore());
}
