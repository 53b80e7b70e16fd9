#include "settings/config_file.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "settings/settings_records.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Skips leading blanks and an optional sign; tells whether the sign was '-'.
const char* SkipToDigits(const char* text, bool* negative) {
  while (IsBlank(*text)) ++text;
  *negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  return text;
}

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<size_t>(length));
  }
  va_end(again);
  return text;
}

// Six decimals, as the file has always had them, unless that would change
// the number (more decimals, or a text too long to be read back whole): then
// the shortest text that reads back as the same value.
std::string RealText(double value) {
  std::string text = Format("%f", value);
  if (text.size() < kProfileTextSize && TextToReal(text.c_str()) == value) return text;
  char shortest[64];
  const auto result = std::to_chars(shortest, shortest + sizeof shortest, value);
  return std::string(shortest, result.ptr);
}

std::string SectionOf(int n) {
  return Format("OUTPUT_CONF%d", n);
}

// A value text; an empty one counts as missing.
size_t ReadText(const ProfileStore& store, const char* section, const char* key,
                char (&out)[kProfileTextSize]) {
  out[0] = '\0';
  store.read(store.context, section, key, out, sizeof out);
  out[sizeof out - 1] = '\0';  // whatever the store did, the text ends here
  return std::strlen(out);
}

// The profile-integer read with a default for a missing or empty value.
uint32_t ReadInteger(const ProfileStore& store, const char* section, const char* key,
                     uint32_t fallback) {
  char text[kProfileTextSize];
  if (ReadText(store, section, key, text) == 0) return fallback;
  uint32_t value = 0;
  ParseProfileInteger(text, &value);
  return value;
}

void Write(const ProfileStore& store, const char* section, const char* key,
           const std::string& value) {
  store.write(store.context, section, key, value.c_str());
}

// A real key: any text that is there is taken, a number or not.
void LoadReal(const ProfileStore& store, const char* section, const char* key, double* field) {
  char text[kProfileTextSize];
  if (ReadText(store, section, key, text) > 0) {
    *field = TextToReal(text);
  } else {
    Write(store, section, key, Format("%.2f", *field));
  }
}

// A sweep time: 0 is a valid time (the sweep page takes 0 for one of the
// two), so only a missing, empty or non-numeric value falls back to 500.
void LoadSweepTime(const ProfileStore& store, const char* section, const char* key,
                   uint32_t* field) {
  char text[kProfileTextSize];
  uint32_t value = 0;
  if (ReadText(store, section, key, text) > 0 && ParseProfileInteger(text, &value)) {
    *field = value;
  } else {
    Write(store, section, key, Format("%u", *field));
  }
}

void LoadConnection(const ProfileStore& store) {
  ConnectionSettings& settings = connection_settings;
  uint32_t type = ReadInteger(store, "IF", "type", 2);
  if (type < 2) {
    settings.connection_type = static_cast<int32_t>(type);
  } else {
    Write(store, "IF", "type", Format("%d", settings.connection_type));
  }

  // A name that does not fit is as unusable as an empty one: cutting it
  // could name some other port.
  char text[kProfileTextSize];
  size_t length = ReadText(store, "IF", "com", text);
  if (length > 0 && length < sizeof settings.com_port) {
    std::memcpy(settings.com_port, text, length + 1);
  } else {
    Write(store, "IF", "com", Format("%s", settings.com_port));
  }

  uint32_t ip = ReadInteger(store, "IF", "ip", 0);
  if (ip != 0) {
    settings.ip_address = ip;
  } else {
    Write(store, "IF", "ip", Format("%u", settings.ip_address));
  }

  uint32_t port = ReadInteger(store, "IF", "port", 0);
  if (IsUsableTcpPort(port)) {
    settings.tcp_port = port;
  } else {
    Write(store, "IF", "port", Format("%u", settings.tcp_port));
  }
}

void LoadOutput(const ProfileStore& store) {
  OutputSettings& settings = output_settings;
  uint32_t type = ReadInteger(store, "OUTPUT", "type", 4);
  if (type < 4) {
    settings.output_type = static_cast<int32_t>(type);
  } else {
    Write(store, "OUTPUT", "type", Format("%d", settings.output_type));
  }

  uint32_t channel = ReadInteger(store, "OUTPUT", "repch", 5);
  if (channel < 5) {
    settings.replay_channel = static_cast<int32_t>(channel);
  } else {
    Write(store, "OUTPUT", "repch", Format("%d", settings.replay_channel));
  }

  char text[kProfileTextSize];
  if (ReadText(store, "OUTPUT", "repchk", text) > 0) {
    settings.replay_endless = TextToInteger(text) != 0;
  } else {
    Write(store, "OUTPUT", "repchk", Format("%d", settings.replay_endless ? 1 : 0));
  }

  uint32_t count = ReadInteger(store, "OUTPUT", "repnum", 0);
  if (count != 0) {
    settings.replay_count = count;
  } else {
    Write(store, "OUTPUT", "repnum", Format("%u", settings.replay_count));
  }

  for (int n = 0; n < 4; ++n) {
    std::string section = SectionOf(n);
    const char* name = section.c_str();
    LoadReal(store, name, "value", &settings.output_value[n]);
    LoadReal(store, name, "sweep_a", &settings.sweep[n].a);
    LoadReal(store, name, "sweep_b", &settings.sweep[n].b);
    LoadSweepTime(store, name, "sweep_t1", &settings.sweep[n].t1);
    LoadSweepTime(store, name, "sweep_t2", &settings.sweep[n].t2);
  }
}

}  // namespace

bool ParseProfileInteger(const char* text, uint32_t* value) {
  bool negative = false;
  const char* p = SkipToDigits(text, &negative);
  uint32_t result = 0;
  bool found = false;
  for (; IsDigit(*p); ++p) {
    result = result * 10u + static_cast<uint32_t>(*p - '0');  // wraps like the system's read
    found = true;
  }
  *value = negative ? 0u - result : result;
  return found;
}

int32_t TextToInteger(const char* text) {
  bool negative = false;
  const char* p = SkipToDigits(text, &negative);
  int64_t result = 0;
  for (; IsDigit(*p); ++p) {
    result = result * 10 + (*p - '0');
    if (result > 2147483648LL) result = 2147483648LL;  // stays clamped, no overflow
  }
  if (negative) return static_cast<int32_t>(-result);
  return static_cast<int32_t>(result > 2147483647LL ? 2147483647LL : result);
}

double TextToReal(const char* text) {
  bool negative = false;
  const char* p = SkipToDigits(text, &negative);
  // Only a decimal number counts: no "inf", "nan" or hexadecimal forms.
  if (!IsDigit(p[0]) && !(p[0] == '.' && IsDigit(p[1]))) return 0.0;
  double value = 0.0;
  auto result = std::from_chars(p, p + std::strlen(p), value, std::chars_format::general);
  if (result.ec != std::errc() || !std::isfinite(value)) return 0.0;
  return negative ? -value : value;
}

bool FindSectionValue(const std::vector<std::string>& entries, const char* key,
                      std::string* value) {
  const auto trimmed = [](const std::string& text, size_t begin, size_t end) {
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
  };
  const auto same_name = [](const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
      if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
  };
  for (const std::string& entry : entries) {
    const size_t equals = entry.find('=');
    if (equals == std::string::npos || !same_name(trimmed(entry, 0, equals), key)) continue;
    *value = trimmed(entry, equals + 1, entry.size());
    const size_t n = value->size();
    if (n >= 2 && ((*value)[0] == '"' || (*value)[0] == '\'') && (*value)[n - 1] == (*value)[0]) {
      *value = value->substr(1, n - 2);
    }
    return true;
  }
  return false;
}

void LoadSettingsFrom(const ProfileStore& store) {
  LoadConnection(store);
  LoadOutput(store);
}

void SaveSettingTo(const ProfileStore& store, SettingItem item) {
  const ConnectionSettings& connection = connection_settings;
  const OutputSettings& output = output_settings;
  switch (item) {
    case SettingItem::kConnectionType:
      return Write(store, "IF", "type", Format("%d", connection.connection_type));
    case SettingItem::kComPort:
      return Write(store, "IF", "com", Format("%s", connection.com_port));
    case SettingItem::kIpAddress:
      return Write(store, "IF", "ip", Format("%u", connection.ip_address));
    case SettingItem::kTcpPort:
      return Write(store, "IF", "port", Format("%u", connection.tcp_port));
    case SettingItem::kOutputType:
      return Write(store, "OUTPUT", "type", Format("%d", output.output_type));
    case SettingItem::kReplayChannel:
      return Write(store, "OUTPUT", "repch",
                   Format("%u", static_cast<uint32_t>(output.replay_channel)));
    case SettingItem::kReplayEndless:
      return Write(store, "OUTPUT", "repchk", Format("%d", output.replay_endless ? 1 : 0));
    case SettingItem::kReplayCount:
      return Write(store, "OUTPUT", "repnum", Format("%u", output.replay_count));
    case SettingItem::kOutputValue:
    case SettingItem::kSweepA:
    case SettingItem::kSweepB:
    case SettingItem::kSweepT1:
    case SettingItem::kSweepT2:
      break;
  }
  for (int n = 0; n < 4; ++n) {
    std::string section = SectionOf(n);
    const char* name = section.c_str();
    const SweepSettings& sweep = output.sweep[n];
    switch (item) {
      case SettingItem::kOutputValue:
        Write(store, name, "value", RealText(output.output_value[n]));
        break;
      case SettingItem::kSweepA:
        Write(store, name, "sweep_a", RealText(sweep.a));
        break;
      case SettingItem::kSweepB:
        Write(store, name, "sweep_b", RealText(sweep.b));
        break;
      case SettingItem::kSweepT1:
        Write(store, name, "sweep_t1", Format("%d", static_cast<int>(sweep.t1)));
        break;
      case SettingItem::kSweepT2:
        Write(store, name, "sweep_t2", Format("%d", static_cast<int>(sweep.t2)));
        break;
      default:
        return;
    }
  }
}

void SaveOutputItemsTo(const ProfileStore& store) {
  for (SettingItem item : kOutputItems) SaveSettingTo(store, item);
}
