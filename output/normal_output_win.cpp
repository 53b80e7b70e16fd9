// Normal output page: output type switch, set, OFF, real-time output from
// the slider and step controls, and the live-value request.
#include "output/normal_output_win.h"

#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/link_frame.h"
#include "output/entry_checks.h"
#include "output/output_pages_layout_win.h"
#include "output/output_types.h"
#include "output/slider_position.h"
#include "output/step_rule.h"
#include "resources/resource_ids.h"
#include "settings/settings_records.h"
#include "ui/main_window_record_win.h"
#include "ui/wide_text_win.h"

namespace {

constexpr UINT kLiveValuePeriodMs = 500;
constexpr UINT kRealtimePeriodMs = 100;

int SendOutputCode(int type, int code) {
  return SendOutputCommand(main_window->link_session, static_cast<uint8_t>(type),
                           static_cast<uint16_t>(code));
}

void SetNumberText(HWND control, uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  SetControlText(control, text);
}

// Every text of both pages that depends on the output type.
void ShowOutputTypeTexts(int type) {
  MainWindowRecord* w = main_window;
  const char* unit = output_types[type].unit;
  SetControlText(w->value_unit_label, unit);
  SetControlText(w->sweep_unit_labels[1], unit);
  SetControlText(w->sweep_unit_labels[0], unit);
  for (int step = 0; step < 3; ++step) {
    SetControlText(w->step_labels[2 * step], StepLabel(type, step, true).c_str());
    SetControlText(w->step_labels[2 * step + 1], StepLabel(type, step, false).c_str());
  }
  SetupSlider();
  for (int which = 0; which < 3; ++which) {
    SetControlText(w->range_labels[which], RangeLabel(type, which).c_str());
  }
  const SweepSettings& sweep = output_settings.sweep[type];
  SetControlText(w->value_box, ValueToText(output_settings.output_value[type], type).c_str());
  SetControlText(w->sweep_boxes[0], ValueToText(sweep.a, type).c_str());
  SetControlText(w->sweep_boxes[1], ValueToText(sweep.b, type).c_str());
  SetNumberText(w->sweep_boxes[2], sweep.t1);
  SetNumberText(w->sweep_boxes[3], sweep.t2);
}

bool IsChecked(HWND control) {
  return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace

void StopRealtimeOutput() {
  SendMessageW(main_window->realtime_check, BM_SETCHECK, BST_UNCHECKED, 0);
  ApplyRealtimeCheck();
}

void ApplyOutputType() {
  int selected = 0;
  for (int type = 0; type < kOutputTypeCount; ++type) {
    if (IsChecked(main_window->type_radios[type])) {
      selected = type;
      break;
    }
  }
  if (selected == output_settings.output_type) return;
  StopRealtimeOutput();
  CaptureOutputEntries();  // the boxes still hold the old type's entries
  output_settings.output_type = selected;
  ShowOutputTypeTexts(selected);
}

void SetOutputValue(HWND window) {
  const int type = output_settings.output_type;
  double& stored = output_settings.output_value[type];
  const std::string text = GetControlText(main_window->value_box);
  const std::string message = EntryMessage(CheckOutputEntry(text.c_str(), type, &stored));
  if (!message.empty()) {
    ShowWarning(window, message.c_str(), "エラー");
    return;
  }
  SendMessageW(main_window->slider, TBM_SETPOS, TRUE,
               SliderPosition(stored, output_types[type].min, output_types[type].max));
  if (SendOutputCode(type, EncodeOutputValue(stored, type)) != 0) ShowNoAnswer(window);
}

void OutputOff(HWND window) {
  const int result = SendOutputCode(output_settings.output_type, 0);
  StopRealtimeOutput();
  if (result != 0) ShowNoAnswer(window);
}

void ApplyRealtimeCheck() {
  MainWindowRecord* w = main_window;
  const bool on = IsChecked(w->realtime_check);
  w->realtime = on;
  w->resend = on;
  EnableWindow(w->value_box, !on);
  EnableWindow(w->set_button, !on);
}

void RealtimeTick(HWND window) {
  MainWindowRecord* w = main_window;
  // Without a link a send would only sit out the command time-out.
  if (!w->realtime || !w->connected) return;
  KillTimer(window, TIMER_REALTIME);
  SetTimer(window, TIMER_REALTIME, kRealtimePeriodMs, nullptr);
  const int type = output_settings.output_type;
  double& stored = output_settings.output_value[type];
  const std::string text = GetControlText(w->value_box);
  // No message on failure: the live value shows the truth, and a box every
  // tick would bury the user.
  if (TakeRealtimeValue(text.c_str(), type, &stored, &w->resend)) {
    SendOutputCode(type, EncodeOutputValue(stored, type));
  }
}

void LiveValueTick(HWND window) {
  KillTimer(window, TIMER_LIVE_VALUE);
  SetTimer(window, TIMER_LIVE_VALUE, kLiveValuePeriodMs, nullptr);
  LinkSession* session = main_window->link_session;
  if (!session->link_state.link_lost) SendFrame(session, CMD_GET_OUTPUT, 0, nullptr);
}

void SliderMoved() {
  const int type = output_settings.output_type;
  const LRESULT position = SendMessageW(main_window->slider, TBM_GETPOS, 0, 0);
  SetControlText(main_window->value_box,
                 ValueToText(static_cast<int>(position) / 10.0, type).c_str());
}

void StepOutputValue(int control_id, int delta) {
  const int type = output_settings.output_type;
  const std::string text = GetControlText(main_window->value_box);
  double x = 0;
  if (StepValue(text.c_str(), output_settings.output_value[type], type,
                control_id - IDC_STEP_COARSE, delta, &x)) {
    SetControlText(main_window->value_box, ValueToText(x, type).c_str());
  }
}

void CaptureOutputEntries() {
  MainWindowRecord* w = main_window;
  const std::string value = GetControlText(w->value_box);
  const std::string a = GetControlText(w->sweep_boxes[0]);
  const std::string b = GetControlText(w->sweep_boxes[1]);
  const std::string t1 = GetControlText(w->sweep_boxes[2]);
  const std::string t2 = GetControlText(w->sweep_boxes[3]);
  CaptureOutputTexts(value.c_str(), {a.c_str(), b.c_str(), t1.c_str(), t2.c_str()},
                     output_settings.output_type, &output_settings);
}
