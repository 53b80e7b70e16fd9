// Checks of the output pages' entry fields. A check stores every field that
// passes and reports the last field that failed, with what was wrong; each
// front end words that in its own language.
#pragma once
#include <cstdint>
#include <string>

#include "settings/settings_records.h"

enum class EntryField { OutputValue, PointA, PointB, T1, T2, ReplayCount };
enum class EntryFault { None, NotNumber, OutOfRange, BothTimesZero };

struct EntryProblem {
  EntryFault fault;
  EntryField field;  // for BothTimesZero: T2, the later of the two
  long min;          // the accepted range, for OutOfRange
  long max;
  const char* unit;  // of a value field's range; "" for counts and times
  int output_type;   // of a value field; -1 otherwise
};

// The pages' message for a problem: empty when the check passed.
std::string EntryMessage(const EntryProblem& problem);

constexpr long kMaxSweepTime = 60000;  // units of 10 ms
constexpr long kMinReplayCount = 1;
constexpr long kMaxReplayCount = 65535;

// The leading integer of an accepted number text, as atoi reads it, but
// saturated instead of overflowing on long digit runs.
long EntryInteger(const char* text);

// Set button of the normal page: the value box for output type `type`.
EntryProblem CheckOutputEntry(const char* text, int type, double* stored_value);

struct SweepEntryTexts {
  const char* a;
  const char* b;
  const char* t1;
  const char* t2;
};

// Sweep start. Besides the message, the both-zero rule for T1 and T2.
EntryProblem CheckSweepEntries(const SweepEntryTexts& texts, int type, SweepSettings* sweep);

// Replay start: the count to send (0 for endless, when the box is not read).
EntryProblem CheckReplayCount(const char* text, bool endless, uint32_t* stored_count,
                              uint16_t* count);

// One real-time tick: true when `*stored_value` (updated) is to be sent.
bool TakeRealtimeValue(const char* text, int type, double* stored_value, bool* resend);

// Silent takes of the entries into the settings (type change, exit):
// invalid texts keep what is stored.
void CaptureOutputTexts(const char* value_text, const SweepEntryTexts& sweep_texts, int type,
                        OutputSettings* settings);
void CaptureReplayCount(const char* text, uint32_t* stored_count);
