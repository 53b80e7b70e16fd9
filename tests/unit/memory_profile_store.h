// A profile store held in memory, as the system's profile file behaves
// (replace in place, append key, append section), that remembers every write
// in order and renders the file's text.
#pragma once
#include <algorithm>
#include <string>
#include <vector>

#include "settings/config_file.h"
#include "settings/settings_records.h"

struct MemoryProfile {
  struct Entry {
    std::string section, key, value;
  };
  std::vector<Entry> entries;       // in the order they were added
  std::vector<std::string> writes;  // "SECTION/key=value", in order

  Entry* Find(const std::string& section, const std::string& key) {
    for (Entry& e : entries)
      if (e.section == section && e.key == key) return &e;
    return nullptr;
  }
  void Set(const std::string& section, const std::string& key, const std::string& value) {
    if (Entry* e = Find(section, key)) {
      e->value = value;
      return;
    }
    auto last = std::find_if(entries.rbegin(), entries.rend(),
                             [&](const Entry& e) { return e.section == section; });
    entries.insert(last == entries.rend() ? entries.end() : last.base(), {section, key, value});
  }
  std::string Text() const {
    std::string text, section;
    for (const Entry& e : entries) {
      if (text.empty() || e.section != section) text += "[" + (section = e.section) + "]\n";
      text += e.key + "=" + e.value + "\n";
    }
    return text;
  }
  // An ini text as the system's profile functions read it: a line ends at a
  // zero byte, blanks around names and values are dropped, the first of
  // repeated keys counts, lines outside a section or without '=' are ignored.
  static MemoryProfile Parse(const std::string& text) {
    auto trim = [](const std::string& t) {
      const size_t first = t.find_first_not_of(" \t\r");
      return first == t.npos ? "" : t.substr(first, t.find_last_not_of(" \t\r") + 1 - first);
    };
    MemoryProfile profile;
    std::string section;
    bool in_section = false;
    for (size_t at = 0, end = 0; at <= text.size(); at = end + 1) {
      end = std::min(text.find('\n', at), text.size());
      const std::string line = trim(text.substr(at, end - at).c_str());
      const size_t equals = line.find('=');
      if (!line.empty() && line[0] == '[') {
        section = trim(line.substr(1, line.find(']') - 1));
        in_section = true;
      } else if (in_section && equals != line.npos) {
        // Find reads the first of repeated keys, as the system does.
        profile.entries.push_back(
            {section, trim(line.substr(0, equals)), trim(line.substr(equals + 1))});
      }
    }
    return profile;
  }
  // A load as at start: from the defaults.
  void Load() {
    ResetConnectionSettings();
    ResetOutputSettings();
    LoadSettingsFrom(Store());
  }
  // Everything the program ever writes: the dialog's items, then the exit's.
  void SaveAll() {
    for (SettingItem item : kConnectionItems) SaveSettingTo(Store(), item);
    SaveOutputItemsTo(Store());
  }
  ProfileStore Store() {
    auto read = [](void* self, const char* section, const char* key, char* out, size_t size) {
      const Entry* e = static_cast<MemoryProfile*>(self)->Find(section, key);
      const size_t length = e ? e->value.copy(out, size - 1) : 0;
      out[length] = '\0';
      return length;
    };
    auto write = [](void* self, const char* section, const char* key, const char* value) {
      static_cast<MemoryProfile*>(self)->writes.push_back(std::string(section) + "/" + key + "=" +
                                                          value);
      static_cast<MemoryProfile*>(self)->Set(section, key, value);
    };
    return ProfileStore{read, write, this};
  }
};
