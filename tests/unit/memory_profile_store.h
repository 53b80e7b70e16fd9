// A profile store held in memory: behaves like the system's profile file
// (replace in place, append key, append section; names without regard to
// case), remembers every write in order and renders the file's text.
#pragma once
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "settings/config_file.h"

struct MemoryProfile {
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
  };
  std::vector<Section> sections;
  std::vector<std::string> writes;  // "SECTION/key=value", in order

  static bool Same(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
      if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
  }

  Section* Find(const char* section) {
    for (Section& s : sections)
      if (Same(s.name, section)) return &s;
    return nullptr;
  }

  void Set(const char* section, const char* key, const char* value) {
    Section* s = Find(section);
    if (!s) {
      sections.push_back({section, {}});
      s = &sections.back();
    }
    for (auto& entry : s->keys) {
      if (Same(entry.first, key)) {
        entry.second = value;
        return;
      }
    }
    s->keys.emplace_back(key, value);
  }

  // Reads an ini text as the system's profile functions do: a line ends at a
  // zero byte, blanks around names and values are dropped, the first of
  // repeated keys counts, lines outside a section or without '=' are ignored.
  static MemoryProfile Parse(const std::string& text) {
    auto trim = [](std::string t) {
      const char* blanks = " \t\r";
      t.erase(0, t.find_first_not_of(blanks) == std::string::npos ? t.size()
                                                                  : t.find_first_not_of(blanks));
      t.erase(t.find_last_not_of(blanks) + 1);
      return t;
    };
    MemoryProfile profile;
    Section* current = nullptr;
    size_t at = 0;
    while (at <= text.size()) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(at, end - at);
      line = trim(line.substr(0, line.find('\0')));  // what a text read can give
      at = end + 1;
      if (!line.empty() && line[0] == '[') {
        const std::string name = trim(line.substr(1, line.find(']') - 1));
        current = profile.Find(name.c_str());
        if (current == nullptr) {
          profile.sections.push_back({name, {}});
          current = &profile.sections.back();
        }
        continue;
      }
      const size_t equals = line.find('=');
      if (current == nullptr || equals == std::string::npos) continue;
      const std::string key = trim(line.substr(0, equals));
      bool known = false;
      for (const auto& entry : current->keys) known = known || Same(entry.first, key.c_str());
      if (!known) current->keys.emplace_back(key, trim(line.substr(equals + 1)));
    }
    return profile;
  }

  std::string Text() const {
    std::string text;
    for (const Section& s : sections) {
      text += "[" + s.name + "]\n";
      for (const auto& entry : s.keys) text += entry.first + "=" + entry.second + "\n";
    }
    return text;
  }

  static size_t Read(void* context, const char* section, const char* key, char* out, size_t size) {
    auto* self = static_cast<MemoryProfile*>(context);
    out[0] = '\0';
    Section* s = self->Find(section);
    if (!s) return 0;
    for (const auto& entry : s->keys) {
      if (Same(entry.first, key)) {
        size_t length = std::min(entry.second.size(), size - 1);
        std::memcpy(out, entry.second.data(), length);
        out[length] = '\0';
        return length;
      }
    }
    return 0;
  }

  static void Write(void* context, const char* section, const char* key, const char* value) {
    auto* self = static_cast<MemoryProfile*>(context);
    self->writes.push_back(std::string(section) + "/" + key + "=" + value);
    self->Set(section, key, value);
  }

  ProfileStore Store() { return ProfileStore{&Read, &Write, this}; }
};
