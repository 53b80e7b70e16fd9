// The main window's own controls, the tab control, page switching and the
// live report display.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include "output/output_pages_layout_win.h"
#include "output/output_types.h"
#include "resources/resource_ids.h"
#include "settings/settings_records.h"
#include "shell/live_report_text.h"
#include "shell/main_window_win.h"
#include "shell/page_background_win.h"
#include "ui/child_control_win.h"
#include "ui/wide_text_win.h"

namespace {

const char* const kTabNames[kPageCount] = {"通常出力", "スイープ出力", "再現出力"};

LiveReportCache live_report_cache;

const char* ConfiguredUnit() {
  const int type = output_settings.output_type;
  return type >= 0 && type < kOutputTypeCount ? output_types[type].unit : "";
}

void BuildTabControl(HWND window) {
  const ChildControl tab = {
      IDC_TAB, WC_TABCONTROLW, nullptr, WS_VISIBLE | WS_CLIPSIBLINGS, 0, 20, 180, 400,
      380,     nullptr};
  main_window->tab_control = CreateChildControl(window, tab);
  for (int i = 0; i < kPageCount; ++i) {
    std::wstring name = Widen(kTabNames[i]);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = name.data();
    SendMessageW(main_window->tab_control, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
}

void BuildOwnControls(HWND window) {
  const DWORD kVisible = WS_VISIBLE;
  const ChildControl controls[] = {
      {IDC_LIVE_GROUP, L"BUTTON", "", kVisible | BS_GROUPBOX, 0, 20, 60, 400, 100, &normal_font},
      {IDC_CONNECT, L"BUTTON", "接続", kVisible | BS_PUSHBUTTON, 0, 20, 15, 80, 24, &normal_font},
      {IDC_DISCONNECT, L"BUTTON", "切断", kVisible | BS_PUSHBUTTON, 0, 110, 15, 80, 24,
       &normal_font},
      {IDC_CONNECTION_SETTINGS, L"BUTTON", "接続設定", kVisible | BS_PUSHBUTTON, 0, 230, 15, 80, 24,
       &normal_font},
      {IDC_CLOCK_SETTINGS, L"BUTTON", "時計設定", kVisible | BS_PUSHBUTTON, 0, 320, 15, 80, 24,
       &normal_font},
      {IDC_OUTPUT_OFF, L"BUTTON", "OFF", kVisible | BS_PUSHBUTTON, 0, 320, 85, 80, 40,
       &normal_font},
      {IDC_LIVE_VALUE, L"STATIC", "-------", kVisible | SS_RIGHT, 0, 30, 80, 200, 50, &large_font},
      {IDC_LIVE_UNIT, L"STATIC", ConfiguredUnit(), kVisible | SS_LEFT, 0, 240, 80, 70, 50,
       &large_font},
      {IDC_MODE_LABEL, L"STATIC", "Mode: ---", kVisible | SS_LEFT, 0, 50, 135, 100, 15,
       &normal_font},
      {IDC_TYPE_LABEL, L"STATIC", "Type: ---", kVisible | SS_LEFT, 0, 200, 135, 200, 15,
       &normal_font},
  };
  HWND* const slots[] = {&main_window->group_box,         &main_window->connect_button,
                         &main_window->disconnect_button, &main_window->settings_button,
                         &main_window->clock_button,      &main_window->off_button,
                         &main_window->value_label,       &main_window->unit_label,
                         &main_window->mode_label,        &main_window->type_label};
  static_assert(sizeof(controls) / sizeof(controls[0]) == sizeof(slots) / sizeof(slots[0]));
  for (size_t i = 0; i < sizeof(slots) / sizeof(slots[0]); ++i) {
    *slots[i] = CreateChildControl(window, controls[i]);
  }
  // Only what makes sense without a link starts enabled.
  EnableWindow(main_window->disconnect_button, FALSE);
  EnableWindow(main_window->clock_button, FALSE);
  EnableWindow(main_window->off_button, FALSE);
}

// Calls `visit` for each handle of a page list, up to its first empty slot.
template <typename Visit>
void ForEachPageControl(const MainWindowRecord* record, int page, Visit visit) {
  for (int slot = 0; slot < kPageSlots; ++slot) {
    HWND control = record->page_controls[page][slot];
    if (control == nullptr) break;
    visit(control);
  }
}

}  // namespace

void BuildMainWindow(HWND window) {
  BuildTabControl(window);
  BuildOwnControls(window);
  BuildNormalOutputPage(window, main_window);
  StackPageControls(main_window, 0);
  ShowSelectedPage(main_window);
  main_window->connected = false;
  SetTimer(window, TIMER_LIVE_VALUE, 500, nullptr);
  main_window->realtime = false;
  SetTimer(window, TIMER_REALTIME, 100, nullptr);
}

void CompleteMainWindow(HWND window) {
  BuildSweepAndReplayPages(window, main_window);
  StackPageControls(main_window, 1);
}

void EnablePageControls(bool enable, MainWindowRecord* record) {
  for (int page = 0; page < kPageCount; ++page) {
    ForEachPageControl(record, page, [&](HWND control) {
      bool state = enable;
      // An endless replay has no count to edit.
      if (control == record->count_box) state = enable && !output_settings.replay_endless;
      EnableWindow(control, state ? TRUE : FALSE);
    });
  }
}

void ShowSelectedPage(MainWindowRecord* record) {
  const LRESULT selected = SendMessageW(record->tab_control, TCM_GETCURSEL, 0, 0);
  for (int page = 0; page < kPageCount; ++page) {
    ForEachPageControl(record, page, [](HWND control) { ShowWindow(control, SW_HIDE); });
  }
  if (selected >= 0 && selected < kPageCount) {
    ForEachPageControl(record, static_cast<int>(selected),
                       [](HWND control) { ShowWindow(control, SW_SHOWNA); });
  }
}

void ShowLiveReport(const char* value_text, int output_type, int mode) {
  const LiveReportUpdate update = PlanLiveReport(&live_report_cache, output_type, mode);
  if (update.mode_changed) SetControlText(main_window->mode_label, update.mode_text.c_str());
  if (update.type_changed) {
    SetControlText(main_window->type_label, update.type_text.c_str());
    SetControlText(main_window->unit_label, update.unit_text.c_str());
  }
  SetControlText(main_window->value_label, value_text);
}
