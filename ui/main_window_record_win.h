// The main window's record and the run-wide values made at start-up: what
// the shell and the pages share.
#pragma once
#include <windows.h>

struct LinkSession;

constexpr int kPageCount = 3;
constexpr int kPageSlots = 50;

struct MainWindowRecord {
  HWND group_box;          // 3000
  HWND connect_button;     // 400
  HWND disconnect_button;  // 401
  HWND settings_button;    // 402
  HWND clock_button;       // 403
  HWND off_button;         // 441
  HWND value_label;        // 201
  HWND unit_label;         // 202
  HWND mode_label;         // 203
  HWND type_label;         // 204
  HWND tab_control;        // 800
  HWND page_controls[kPageCount][kPageSlots];
  // Named page controls.
  HWND type_group;            // 3001
  HWND type_radios[4];        // 420..423, by output type
  HWND set_button;            // 440
  HWND value_box;             // 501
  HWND value_unit_label;      // 210
  HWND range_labels[3];       // 211..213: min, mid, max
  HWND step_labels[6];        // 214, 218, 222, 226, 230, 234
  HWND slider;                // 900
  HWND realtime_check;        // 600
  HWND repeat_check;          // 601
  HWND sweep_boxes[4];        // 502..505: A, B, T1, T2
  HWND count_box;             // 506
  HWND sweep_unit_labels[2];  // 224, 225
  HWND channel_list;          // 300
  HWND step_controls[3];      // 1200..1202
  HBITMAP sweep_bitmap;
  LinkSession* link_session;  // the window's one link, open or not
  bool connected;
  bool realtime;
  bool resend;
};

// Run-wide values made at start-up.
extern HINSTANCE instance_handle;
extern HWND main_window_handle;
extern int screen_dpi;
extern HFONT normal_font;
extern HFONT medium_font;
extern HFONT large_font;
extern MainWindowRecord* main_window;

int Scale(int layout_value);  // layout units to pixels at screen_dpi
