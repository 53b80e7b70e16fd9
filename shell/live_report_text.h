// Texts of the live report's mode and type labels, and the cache that keeps
// them from being rewritten when nothing changed.
#pragma once
#include <string>

#include "output/output_types.h"

// The report carries mode and type as raw bytes; anything the tables do not
// name is shown as unknown rather than read from past their ends.
inline const char* const kModeNames[3] = {"通常", "再現", "スイープ"};

inline std::string ModeLabelText(int mode) {
  if (mode < 0 || mode > 2) return "Mode: ---";
  return std::string("Mode: ") + kModeNames[mode];
}

inline std::string TypeLabelText(int type) {
  if (type < 0 || type >= kOutputTypeCount) return "Type: ---";
  return std::string("Type: ") + output_types[type].label;
}

inline std::string UnitLabelText(int type) {
  if (type < 0 || type >= kOutputTypeCount) return "";
  return output_types[type].unit;
}

// Both start outside the valid ranges so the first report writes both labels.
struct LiveReportCache {
  int last_mode = 3;
  int last_type = 4;
};

struct LiveReportUpdate {
  bool mode_changed;
  bool type_changed;
  std::string mode_text;  // set when mode_changed
  std::string type_text;  // set when type_changed
  std::string unit_text;  // set when type_changed
};

inline LiveReportUpdate PlanLiveReport(LiveReportCache* cache, int output_type, int mode) {
  LiveReportUpdate update{};
  if (mode != cache->last_mode) {
    cache->last_mode = mode;
    update.mode_changed = true;
    update.mode_text = ModeLabelText(mode);
  }
  if (output_type != cache->last_type) {
    cache->last_type = output_type;
    update.type_changed = true;
    update.type_text = TypeLabelText(output_type);
    update.unit_text = UnitLabelText(output_type);
  }
  return update;
}
