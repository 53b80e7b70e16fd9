// The controls of the three output pages, created once over the tab control.
#include "output/output_pages_layout_win.h"

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "output/output_types.h"
#include "output/slider_position.h"
#include "resources/resource_ids.h"
#include "settings/settings_records.h"
#include "ui/child_control_win.h"
#include "ui/main_window_record_win.h"
#include "ui/wide_text_win.h"

namespace {

constexpr DWORD kEditStyle = WS_BORDER | WS_TABSTOP | ES_RIGHT;
constexpr DWORD kNumberStyle = kEditStyle | ES_NUMBER;

const char kDescription[] =
    "本体に挿入されているSDカードからQM-482Tのログファイルを読み込んで測定データを再現出力します。"
    "\r\n\r\n"
    "選択されたチャンネルの測定データが出力されます。\r\n"
    "ログファイルが複数存在する場合はタイムスタンプの新しいものを読み込みます。\r\n"
    "測定時間の前後関係を元に出力時間を決定するので、最終測定データは出力されません。"
    "また、測定データが1つしか無いときも出力されません。";

// The settings file may hold any type number; the tables have four rows.
int CurrentType() {
  const int type = output_settings.output_type;
  return type >= 0 && type < kOutputTypeCount ? type : 0;
}

std::string Format(const char* format, unsigned value) {
  char text[32];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

// Appends to a page list; the lists have room for every page's controls.
struct PageList {
  HWND* slots;
  int count;
  void Add(HWND control) {
    if (count < kPageSlots) slots[count++] = control;
  }
};

void SetLimit(HWND edit, int characters) {
  SendMessageW(edit, EM_LIMITTEXT, characters, 0);
}

void SetChecked(HWND button, bool checked) {
  SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Page controls start hidden until the tab's selection shows their page,
// disabled until a link is open, and clipped by what is stacked above them:
// setting any of that afterwards costs a round of messages per control at
// start-up.
constexpr DWORD kPageControlStyle = WS_DISABLED | WS_CLIPSIBLINGS;

HWND CreatePageControl(HWND window, ChildControl control, PageList* list) {
  control.style = (control.style & ~WS_VISIBLE) | kPageControlStyle;
  HWND handle = CreateChildControl(window, control);
  list->Add(handle);
  return handle;
}

// Creates a table of controls in order, each into the page list and into
// created[] at its row's index.
template <size_t N>
void CreateRows(HWND window, const ChildControl (&rows)[N], PageList* list, HWND (&created)[N]) {
  for (size_t i = 0; i < N; ++i) created[i] = CreatePageControl(window, rows[i], list);
}

// The handle of the first row with control id, so that a row inserted into
// a table moves no other control's handle.
template <size_t N>
HWND Row(const ChildControl (&rows)[N], const HWND (&created)[N], int id) {
  for (size_t i = 0; i < N; ++i) {
    if (rows[i].id == id) return created[i];
  }
  return nullptr;
}

void BuildNormalPage(HWND window, MainWindowRecord* record, PageList* list) {
  const int t = CurrentType();
  const OutputTypeInfo& type = output_types[t];
  const std::string range[3] = {RangeLabel(t, 0), RangeLabel(t, 1), RangeLabel(t, 2)};
  const std::string steps[6] = {StepLabel(t, 0, true), StepLabel(t, 0, false),
                                StepLabel(t, 1, true), StepLabel(t, 1, false),
                                StepLabel(t, 2, true), StepLabel(t, 2, false)};
  const std::string value = ValueToText(output_settings.output_value[t], t);

  const ChildControl first[] = {
      {IDC_TYPE_GROUP, L"BUTTON", "出力タイプ", BS_GROUPBOX, 0, 30, 220, 330, 80, &normal_font},
      {IDC_OUTPUT_GROUP, L"BUTTON", "出力設定", BS_GROUPBOX, 0, 30, 320, 330, 230, &normal_font},
      {IDC_SET_OUTPUT, L"BUTTON", "設定", BS_PUSHBUTTON, 0, 240, 350, 80, 24, &normal_font},
      {IDC_VALUE_UNIT, L"STATIC", type.unit, SS_LEFT, 0, 180, 355, 30, 20, &medium_font},
      {IDC_RANGE_MIN, L"STATIC", range[0].c_str(), SS_LEFT, 0, 40, 520, 60, 20, &normal_font},
      {IDC_RANGE_MID, L"STATIC", range[1].c_str(), SS_CENTER, 0, 165, 520, 60, 20, &normal_font},
      {IDC_RANGE_MAX, L"STATIC", range[2].c_str(), SS_RIGHT, 0, 290, 520, 60, 20, &normal_font},
      {214, L"STATIC", steps[0].c_str(), SS_LEFT, 0, 75, 425, 60, 50, &normal_font},
      {218, L"STATIC", steps[1].c_str(), SS_LEFT, 0, 75, 445, 60, 50, &normal_font},
      {222, L"STATIC", steps[2].c_str(), SS_LEFT, 0, 175, 425, 60, 50, &normal_font},
      {226, L"STATIC", steps[3].c_str(), SS_LEFT, 0, 175, 445, 60, 50, &normal_font},
      {230, L"STATIC", steps[4].c_str(), SS_LEFT, 0, 275, 425, 60, 50, &normal_font},
      {234, L"STATIC", steps[5].c_str(), SS_LEFT, 0, 275, 445, 60, 50, &normal_font},
      {IDC_VALUE_BOX, L"EDIT", value.c_str(), kEditStyle, WS_EX_CLIENTEDGE, 50, 350, 120, 30,
       &medium_font},
      {IDC_TYPE_RADIO_0, L"BUTTON", output_types[0].label, WS_GROUP | BS_AUTORADIOBUTTON, 0, 40,
       240, 100, 20, nullptr},
      {IDC_TYPE_RADIO_0 + 1, L"BUTTON", output_types[1].label, BS_AUTORADIOBUTTON, 0, 40, 270, 100,
       20, nullptr},
      {IDC_TYPE_RADIO_0 + 2, L"BUTTON", output_types[2].label, BS_AUTORADIOBUTTON, 0, 170, 240, 160,
       20, nullptr},
      {IDC_TYPE_RADIO_0 + 3, L"BUTTON", output_types[3].label, BS_AUTORADIOBUTTON, 0, 170, 270, 160,
       20, nullptr},
      {IDC_REALTIME_CHECK, L"BUTTON", "ボタン、スライダーでリアルタイムに出力する",
       WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 50, 385, 300, 24, &normal_font},
      {IDC_SLIDER, TRACKBAR_CLASSW, nullptr, WS_TABSTOP | TBS_AUTOTICKS | TBS_HORZ, 0, 40, 480, 310,
       30, nullptr},
  };
  HWND created[sizeof(first) / sizeof(first[0])];
  CreateRows(window, first, list, created);
  record->type_group = Row(first, created, IDC_TYPE_GROUP);
  record->set_button = Row(first, created, IDC_SET_OUTPUT);
  record->value_unit_label = Row(first, created, IDC_VALUE_UNIT);
  for (int i = 0; i < 3; ++i) record->range_labels[i] = Row(first, created, IDC_RANGE_MIN + i);
  for (int i = 0; i < 6; ++i) record->step_labels[i] = Row(first, created, 214 + 4 * i);
  record->value_box = Row(first, created, IDC_VALUE_BOX);
  for (int i = 0; i < kOutputTypeCount; ++i) {
    record->type_radios[i] = Row(first, created, IDC_TYPE_RADIO_0 + i);
  }
  record->realtime_check = Row(first, created, IDC_REALTIME_CHECK);
  record->slider = Row(first, created, IDC_SLIDER);

  SetLimit(record->value_box, 10);
  SetChecked(record->type_radios[t], true);
  SetupSlider();

  for (int i = 0; i < 3; ++i) {
    const int x = 50 + 100 * i;
    record->step_controls[i] = CreateUpDownControl(
        WS_CHILD | UDS_ALIGNLEFT | kPageControlStyle, Scale(x), Scale(420), Scale(50), Scale(40),
        window, IDC_STEP_COARSE + i, instance_handle, nullptr, 100, 0, 1);
    list->Add(record->step_controls[i]);
  }
}

void AttachSweepPicture(HWND picture, MainWindowRecord* record) {
  record->sweep_bitmap = static_cast<HBITMAP>(LoadImageW(
      instance_handle, L"BMP_SWEEP", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_DEFAULTSIZE));
  if (record->sweep_bitmap != nullptr) {
    SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(record->sweep_bitmap));
  }
}

void BuildSweepPage(HWND window, MainWindowRecord* record, PageList* list) {
  const int t = CurrentType();
  const SweepSettings& sweep = output_settings.sweep[t];
  const char* unit = output_types[t].unit;
  const std::string a = ValueToText(sweep.a, t);
  const std::string b = ValueToText(sweep.b, t);
  const std::string t1 = Format("%u", sweep.t1);
  const std::string t2 = Format("%u", sweep.t2);

  const ChildControl controls[] = {
      {IDC_SWEEP_GROUP, L"BUTTON", "スイープ設定", BS_GROUPBOX, 0, 30, 320, 330, 200, &normal_font},
      {IDC_START_SWEEP, L"BUTTON", "開始", BS_PUSHBUTTON, 0, 260, 380, 80, 24, &normal_font},
      {220, L"STATIC", "A点出力値:", SS_LEFT, 0, 40, 455, 70, 20, &normal_font},
      {221, L"STATIC", "B点出力値:", SS_LEFT, 0, 40, 485, 70, 20, &normal_font},
      {222, L"STATIC", "T1:", SS_LEFT, 0, 220, 455, 20, 20, &normal_font},
      {223, L"STATIC", "T2:", SS_LEFT, 0, 220, 485, 20, 20, &normal_font},
      {224, L"STATIC", unit, SS_LEFT, 0, 180, 455, 30, 20, &normal_font},
      {225, L"STATIC", unit, SS_LEFT, 0, 180, 485, 30, 20, &normal_font},
      {226, L"STATIC", "x 10ms", SS_LEFT, 0, 310, 455, 40, 20, &normal_font},
      {227, L"STATIC", "x 10ms", SS_LEFT, 0, 310, 485, 40, 20, &normal_font},
      {IDC_SWEEP_A, L"EDIT", a.c_str(), kEditStyle, WS_EX_CLIENTEDGE, 110, 450, 65, 20,
       &normal_font},
      {IDC_SWEEP_B, L"EDIT", b.c_str(), kEditStyle, WS_EX_CLIENTEDGE, 110, 480, 65, 20,
       &normal_font},
      {IDC_SWEEP_T1, L"EDIT", t1.c_str(), kNumberStyle, WS_EX_CLIENTEDGE, 245, 450, 60, 20,
       &normal_font},
      {IDC_SWEEP_T2, L"EDIT", t2.c_str(), kNumberStyle, WS_EX_CLIENTEDGE, 245, 480, 60, 20,
       &normal_font},
  };
  list->Add(record->type_group);
  HWND created[sizeof(controls) / sizeof(controls[0])];
  CreateRows(window, controls, list, created);
  for (int i = 0; i < 2; ++i) record->sweep_unit_labels[i] = Row(controls, created, 224 + i);
  for (int i = 0; i < 4; ++i) record->sweep_boxes[i] = Row(controls, created, IDC_SWEEP_A + i);
  SetLimit(record->sweep_boxes[0], 10);
  SetLimit(record->sweep_boxes[1], 10);
  SetLimit(record->sweep_boxes[2], 5);
  SetLimit(record->sweep_boxes[3], 5);
  for (HWND radio : record->type_radios) list->Add(radio);

  const ChildControl picture = {
      IDC_SWEEP_PICTURE, L"STATIC", nullptr, SS_BITMAP | WS_VISIBLE, 0, 40, 340, 50, 50, nullptr};
  HWND picture_handle = CreatePageControl(window, picture, list);
  AttachSweepPicture(picture_handle, record);
}

void BuildReplayPage(HWND window, MainWindowRecord* record, PageList* list) {
  // Shown as an unsigned count: a huge value from the file must not read as negative.
  const std::string count = Format("%u", output_settings.replay_count);
  const ChildControl controls[] = {
      {IDC_REPLAY_GROUP, L"BUTTON", "設定", BS_GROUPBOX, 0, 30, 220, 330, 110, &normal_font},
      {IDC_REPLAY_GROUP, L"BUTTON", "説明", BS_GROUPBOX, 0, 30, 350, 330, 180, &normal_font},
      {230, L"STATIC", "チャンネル", SS_LEFT, 0, 40, 245, 120, 20, &normal_font},
      {231, L"STATIC", "繰り返し回数", SS_LEFT, 0, 40, 275, 80, 20, &normal_font},
      {232, L"STATIC", "回", SS_LEFT, 0, 195, 275, 50, 20, &normal_font},
      {233, L"STATIC", kDescription, SS_LEFT, 0, 40, 370, 300, 120, &normal_font},
      {IDC_START_REPLAY, L"BUTTON", "出力開始", BS_PUSHBUTTON, 0, 250, 240, 80, 24, &normal_font},
      {IDC_STOP_REPLAY, L"BUTTON", "出力停止", BS_PUSHBUTTON, 0, 250, 280, 80, 24, &normal_font},
      {IDC_REPEAT_CHECK, L"BUTTON", "繰り返し", WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 130,
       295, 80, 24, &normal_font},
      {IDC_CHANNEL_LIST, L"COMBOBOX", nullptr,
       CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_VISIBLE, 0, 130, 240, 80, 150, &normal_font},
      {IDC_REPEAT_COUNT, L"EDIT", count.c_str(), kNumberStyle, WS_EX_CLIENTEDGE, 130, 270, 60, 20,
       &normal_font},
  };
  HWND created[sizeof(controls) / sizeof(controls[0])];
  CreateRows(window, controls, list, created);
  record->repeat_check = Row(controls, created, IDC_REPEAT_CHECK);
  record->channel_list = Row(controls, created, IDC_CHANNEL_LIST);
  record->count_box = Row(controls, created, IDC_REPEAT_COUNT);

  SetChecked(record->repeat_check, output_settings.replay_endless);
  for (unsigned channel = 1; channel <= 5; ++channel) {
    const std::wstring item = Widen(Format("AI%u", channel).c_str());
    SendMessageW(record->channel_list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  }
  SendMessageW(record->channel_list, CB_SETCURSEL, output_settings.replay_channel, 0);
  SetLimit(record->count_box, 5);
}

}  // namespace

void BuildNormalOutputPage(HWND window, MainWindowRecord* record) {
  PageList normal = {record->page_controls[0], 0};
  BuildNormalPage(window, record, &normal);
}

void BuildSweepAndReplayPages(HWND window, MainWindowRecord* record) {
  PageList sweep = {record->page_controls[1], 0};
  PageList replay = {record->page_controls[2], 0};
  BuildSweepPage(window, record, &sweep);
  BuildReplayPage(window, record, &replay);
}

void SetupSlider() {
  const int t = CurrentType();
  const OutputTypeInfo& type = output_types[t];
  const int low = type.min * 10;
  const int high = type.max * 10;
  HWND slider = main_window->slider;
  SendMessageW(slider, TBM_SETRANGE, TRUE,
               MAKELPARAM(static_cast<WORD>(static_cast<short>(low)),
                          static_cast<WORD>(static_cast<short>(high))));
  SendMessageW(slider, TBM_SETTICFREQ, (high - low) / 20, 0);
  SendMessageW(slider, TBM_SETPAGESIZE, 0, 1);
  SendMessageW(slider, TBM_SETPOS, TRUE,
               SliderPosition(output_settings.output_value[t], type.min, type.max));
}
