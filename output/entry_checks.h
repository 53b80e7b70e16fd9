// Checks of the output pages' entry fields. A check stores every field that
// passes and returns the message for the user: empty when all passed, else
// the message of the last field that failed.
#pragma once
#include <cstdint>
#include <string>

#include "settings/settings_records.h"

constexpr long kMaxSweepTime = 60000;  // units of 10 ms
constexpr long kMinReplayCount = 1;
constexpr long kMaxReplayCount = 65535;

// The leading integer of an accepted number text, as atoi reads it, but
// saturated instead of overflowing on long digit runs.
long EntryInteger(const char* text);

// Set button of the normal page: the value box for output type `type`.
std::string CheckOutputEntry(const char* text, int type, double* stored_value);

struct SweepEntryTexts {
  const char* a;
  const char* b;
  const char* t1;
  const char* t2;
};

// Sweep start. Besides the message, the both-zero rule for T1 and T2.
std::string CheckSweepEntries(const SweepEntryTexts& texts, int type, SweepSettings* sweep);

// Replay start: the count to send (0 for endless, when the box is not read).
std::string CheckReplayCount(const char* text, bool endless, uint32_t* stored_count,
                             uint16_t* count);

// One real-time tick: true when `*stored_value` (updated) is to be sent.
bool TakeRealtimeValue(const char* text, int type, double* stored_value, bool* resend);

// Silent takes of the entries into the settings (type change, exit):
// invalid texts keep what is stored.
void CaptureOutputTexts(const char* value_text, const SweepEntryTexts& sweep_texts, int type,
                        OutputSettings* settings);
void CaptureReplayCount(const char* text, uint32_t* stored_count);
