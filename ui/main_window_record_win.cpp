#include "ui/main_window_record_win.h"

#include "ui/dpi_scaling.h"

HINSTANCE instance_handle;
HWND main_window_handle;
int screen_dpi = kLayoutDpi;
HFONT normal_font;
HFONT medium_font;
HFONT large_font;
MainWindowRecord* main_window;

int Scale(int layout_value) {
  return ScaleForDpi(screen_dpi, layout_value);
}
