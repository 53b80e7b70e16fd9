// Loading and saving the settings records through a profile store: a file
// of [section] lines each followed by key=value lines.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the load and save logic needs from the file. Windows uses the private
// profile functions on "config.ini"; tests use a store held in memory.
struct ProfileStore {
  // Copies the value of key in section into out (at most size - 1 bytes and a
  // terminating zero) and returns its length; 0 and an empty text when the key
  // or the file is missing.
  size_t (*read)(void* context, const char* section, const char* key, char* out, size_t size);
  // Replaces the key's value where it stands, or appends the key to its
  // section, or appends the section; creates the file if needed.
  void (*write)(void* context, const char* section, const char* key, const char* value);
  void* context;
};

constexpr size_t kProfileTextSize = 260;  // bytes read per value, terminator included

// The profile-integer read: the leading decimal number of text as an unsigned
// 32-bit integer (a '-' wraps it around, larger numbers wrap modulo 2^32),
// 0 when text holds no number. Returns whether a number was there.
bool ParseProfileInteger(const char* text, uint32_t* value);

// Leading optional sign and digits, clamped to the signed 32-bit range;
// 0 when there are none.
int32_t TextToInteger(const char* text);

// Leading decimal real; 0.0 when there is none or it is not finite.
double TextToReal(const char* text);

// The value of key among a section's "key=value" entries, as the profile read
// of that one key gives it: the first entry whose key matches in either
// letter case, blanks around key and value dropped, one pair of enclosing
// quotes removed. False when no entry has the key.
bool FindSectionValue(const std::vector<std::string>& entries, const char* key, std::string* value);

// Reads every key into connection_settings and output_settings, which must
// hold their defaults; a missing or unusable key keeps the default and has it
// written back at once.
void LoadSettingsFrom(const ProfileStore& store);

// The keys that are saved one by one, in the file's order. The per-type
// items (value and sweep) write the key of all four OUTPUT_CONF sections.
enum class SettingItem {
  kConnectionType,
  kComPort,
  kIpAddress,
  kTcpPort,
  kOutputType,
  kOutputValue,
  kSweepA,
  kSweepB,
  kSweepT1,
  kSweepT2,
  kReplayChannel,
  kReplayEndless,
  kReplayCount,
};

// What the connection dialog keeps.
inline constexpr SettingItem kConnectionItems[] = {SettingItem::kConnectionType,
                                                   SettingItem::kComPort, SettingItem::kIpAddress,
                                                   SettingItem::kTcpPort};

// Everything the output pages keep.
inline constexpr SettingItem kOutputItems[] = {
    SettingItem::kOutputType,    SettingItem::kOutputValue,   SettingItem::kSweepA,
    SettingItem::kSweepB,        SettingItem::kSweepT1,       SettingItem::kSweepT2,
    SettingItem::kReplayChannel, SettingItem::kReplayEndless, SettingItem::kReplayCount};

// Writes one setting item from the current field values.
void SaveSettingTo(const ProfileStore& store, SettingItem item);

// The output items, in order.
void SaveOutputItemsTo(const ProfileStore& store);
