#include "ui/child_control_win.h"

#include "ui/main_window_record_win.h"
#include "ui/wide_text_win.h"

HWND CreateChildControl(HWND parent, const ChildControl& control) {
  HWND handle = CreateWindowExW(
      control.extended_style, control.window_class,
      control.text != nullptr ? Widen(control.text).c_str() : L"", WS_CHILD | control.style,
      Scale(control.x), Scale(control.y), Scale(control.width), Scale(control.height), parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance_handle, nullptr);
  if (handle != nullptr && control.font != nullptr && *control.font != nullptr) {
    SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(*control.font), TRUE);
  }
  return handle;
}
