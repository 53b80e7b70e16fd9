// "config.ini" in the current directory through the private profile functions.
#include "settings/config_file_win.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

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

// The load reads each section whole, once: under Wine every profile read
// opens the file again, and a load reads 28 keys.
struct SectionCache {
  std::vector<std::pair<std::string, std::vector<std::string>>> sections;
};

const std::vector<std::string>& SectionEntries(SectionCache* cache, const char* section) {
  for (const auto& [name, entries] : cache->sections) {
    if (name == section) return entries;
  }
  const std::wstring wide_section = Widen(section);
  std::vector<wchar_t> text(4096);
  DWORD length = 0;
  for (;;) {
    length = GetPrivateProfileSectionW(wide_section.c_str(), text.data(),
                                       static_cast<DWORD>(text.size()), config_path.c_str());
    // A full buffer is reported as its size less two.
    if (length + 2 < text.size() || text.size() >= (1u << 20)) break;
    text.resize(text.size() * 4);
  }
  std::vector<std::string> entries;
  for (size_t at = 0; at < length && text[at] != L'\0';) {
    const std::wstring entry(text.data() + at);
    entries.push_back(Narrow(entry.c_str()));
    at += entry.size() + 1;
  }
  cache->sections.emplace_back(section, std::move(entries));
  return cache->sections.back().second;
}

size_t ReadProfile(void* context, const char* section, const char* key, char* out, size_t size) {
  SectionCache own;
  SectionCache* cache = context != nullptr ? static_cast<SectionCache*>(context) : &own;
  std::string text;
  FindSectionValue(SectionEntries(cache, section), key, &text);
  size_t length = text.size() < size ? text.size() : size - 1;
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
  return length;
}

void WriteProfile(void*, const char* section, const char* key, const char* value) {
  WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(value).c_str(),
                             config_path.c_str());
}

ProfileStore ConfigStore(SectionCache* cache = nullptr) {
  if (config_path.empty()) FormConfigPath();
  return ProfileStore{&ReadProfile, &WriteProfile, cache};
}

}  // namespace

void LoadSettings() {
  FormConfigPath();
  SectionCache cache;
  LoadSettingsFrom(ConfigStore(&cache));
}

void SaveSetting(SettingItem item) {
  SaveSettingTo(ConfigStore(), item);
}

void SaveOutputSettings() {
  SaveOutputItemsTo(ConfigStore());
}
