// Creating the main window's child controls from layout-unit rectangles.
#pragma once
#include <windows.h>

struct ChildControl {
  int id;
  const wchar_t* window_class;
  const char* text;  // UTF-8; null for none
  DWORD style;       // added to WS_CHILD
  DWORD extended_style;
  int x, y, width, height;  // layout units
  HFONT* font;              // null: keep the system's
};

// Scales the rectangle by the screen DPI and applies the font; a control that
// cannot be created gives null.
HWND CreateChildControl(HWND parent, const ChildControl& control);
