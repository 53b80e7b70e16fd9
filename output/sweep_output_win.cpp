// Sweep output page: checks the four entries and starts the sweep.
#include "output/sweep_output_win.h"

#include <windows.h>

#include <string>

#include "link/instrument_commands.h"
#include "output/entry_checks.h"
#include "output/normal_output_win.h"
#include "output/output_types.h"
#include "settings/settings_records.h"
#include "ui/main_window_record_win.h"
#include "ui/wide_text_win.h"

void StartSweep(HWND window) {
  MainWindowRecord* w = main_window;
  const int type = output_settings.output_type;
  SweepSettings& sweep = output_settings.sweep[type];
  const std::string a = GetControlText(w->sweep_boxes[0]);
  const std::string b = GetControlText(w->sweep_boxes[1]);
  const std::string t1 = GetControlText(w->sweep_boxes[2]);
  const std::string t2 = GetControlText(w->sweep_boxes[3]);
  const std::string message =
      EntryMessage(CheckSweepEntries({a.c_str(), b.c_str(), t1.c_str(), t2.c_str()}, type, &sweep));
  if (!message.empty()) {
    ShowWarning(window, message.c_str(), "エラー");
    return;
  }
  StopRealtimeOutput();
  if (SendSweepCommand(main_window->link_session, static_cast<uint8_t>(type),
                       static_cast<uint16_t>(EncodeOutputValue(sweep.a, type)),
                       static_cast<uint16_t>(EncodeOutputValue(sweep.b, type)),
                       static_cast<uint16_t>(sweep.t1), static_cast<uint16_t>(sweep.t2)) != 0) {
    ShowNoAnswer(window);
  }
}
