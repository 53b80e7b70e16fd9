// Stacking of the output pages' controls and their background colour.
#include "shell/page_background_win.h"

#include <commctrl.h>

#include "shell/main_window_win.h"

namespace {

// Sampled on first use, dropped when the look changes. Like the fonts, the
// last one lives until the process ends.
HBRUSH page_brush = nullptr;
COLORREF page_colour = 0;
// The tab asks the window for its background while it draws itself for the
// sample; that request must not sample again.
bool sampling = false;

enum class Layer { kWorked, kLabel, kGroupBox };

Layer LayerOf(HWND control) {
  wchar_t name[16] = {};
  GetClassNameW(control, name, 16);
  if (lstrcmpiW(name, L"Static") == 0) return Layer::kLabel;
  const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  if (lstrcmpiW(name, L"Button") == 0 && (style & BS_TYPEMASK) == BS_GROUPBOX) {
    return Layer::kGroupBox;
  }
  return Layer::kWorked;
}

// Whether the control is in one of the first `pages` page lists.
bool Listed(const MainWindowRecord* record, int pages, HWND control) {
  for (int page = 0; page < pages; ++page) {
    for (int slot = 0; slot < kPageSlots && record->page_controls[page][slot] != nullptr; ++slot) {
      if (record->page_controls[page][slot] == control) return true;
    }
  }
  return false;
}

// Controls shared by two pages are visited once, at their first listing.
template <typename Visit>
void ForEachPageControlOnce(const MainWindowRecord* record, int first_page, Visit visit) {
  for (int page = first_page; page < kPageCount; ++page) {
    for (int slot = 0; slot < kPageSlots && record->page_controls[page][slot] != nullptr; ++slot) {
      HWND control = record->page_controls[page][slot];
      if (!Listed(record, page, control)) visit(control);
    }
  }
}

// Entry fields and the channel list keep the look of a field.
bool KeepsFieldLook(HWND control) {
  wchar_t name[16] = {};
  GetClassNameW(control, name, 16);
  return lstrcmpiW(name, L"Edit") == 0 || lstrcmpiW(name, L"ComboBox") == 0;
}

// The colour in the middle of the tab's body, as the tab draws it under the
// current theme.
COLORREF TabBodyColour(HWND tab) {
  RECT body = {};
  GetClientRect(tab, &body);
  SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&body));
  const POINT middle = {(body.left + body.right) / 2, (body.top + body.bottom) / 2};
  COLORREF colour = CLR_INVALID;
  HDC tab_dc = GetDC(tab);
  HDC memory = CreateCompatibleDC(tab_dc);
  // One pixel is enough: the tab draws through an origin that puts its
  // middle there.
  HBITMAP bitmap = CreateCompatibleBitmap(tab_dc, 1, 1);
  if (memory != nullptr && bitmap != nullptr) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    SetViewportOrgEx(memory, -middle.x, -middle.y, nullptr);
    SendMessageW(tab, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
                 PRF_CLIENT | PRF_ERASEBKGND);
    colour = GetPixel(memory, middle.x, middle.y);
    SelectObject(memory, previous);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (memory != nullptr) DeleteDC(memory);
  ReleaseDC(tab, tab_dc);
  return colour != CLR_INVALID ? colour : GetSysColor(COLOR_BTNFACE);
}

// Null while the sample is being taken, and without a tab to sample.
HBRUSH PageBrush() {
  if (page_brush == nullptr && !sampling && main_window->tab_control != nullptr) {
    sampling = true;
    page_colour = TabBodyColour(main_window->tab_control);
    sampling = false;
    page_brush = CreateSolidBrush(page_colour);
  }
  return page_brush;
}

// The next paint samples the new look.
void DropPageBrush(HWND window) {
  if (page_brush != nullptr) DeleteObject(page_brush);
  page_brush = nullptr;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The tab's display area, in the window's client coordinates.
RECT PageArea(HWND window, HWND tab) {
  RECT area = {};
  GetWindowRect(tab, &area);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&area), 2);
  SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  return area;
}

}  // namespace

void StackPageControls(MainWindowRecord* record, int first_page) {
  HWND above = HWND_TOP;
  const auto place = [&](HWND control) {
    SetWindowPos(control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    above = control;
  };
  // The worked controls keep their creation order: the radio buttons' group
  // runs from 420 to the next control that starts a group.
  ForEachPageControlOnce(record, first_page, [&](HWND control) {
    if (LayerOf(control) == Layer::kWorked) place(control);
  });
  // Of two overlapping step labels the later one lies lower, its text inside
  // the earlier one's rectangle: later labels go on top.
  HWND labels[kPageCount * kPageSlots];
  int label_count = 0;
  ForEachPageControlOnce(record, first_page, [&](HWND control) {
    if (LayerOf(control) == Layer::kLabel) labels[label_count++] = control;
  });
  while (label_count > 0) place(labels[--label_count]);
  ForEachPageControlOnce(record, first_page, [&](HWND control) {
    if (LayerOf(control) == Layer::kGroupBox) place(control);
  });
  // Pages stacked later go above the earlier ones and the tab, which stays.
  if (first_page == 0) {
    SetWindowPos(record->tab_control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

bool HandlePageBackground(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                          LRESULT* result) {
  HDC dc = reinterpret_cast<HDC>(wparam);
  switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HWND control = reinterpret_cast<HWND>(lparam);
      if (!Listed(main_window, kPageCount, control) || KeepsFieldLook(control)) return false;
      HBRUSH brush = PageBrush();
      if (brush == nullptr) return false;
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, page_colour);
      SetBkMode(dc, TRANSPARENT);
      *result = reinterpret_cast<LRESULT>(brush);
      return true;
    }
    case WM_ERASEBKGND: {
      // Themed group boxes and buttons ask their parent for what lies behind
      // them: over the pages that is the tab's body.
      RECT client = {};
      GetClientRect(window, &client);
      FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
      HBRUSH brush = PageBrush();
      if (brush != nullptr) {
        const RECT body = PageArea(window, main_window->tab_control);
        FillRect(dc, &body, brush);
      }
      *result = 1;
      return true;
    }
    case WM_SYSCOLORCHANGE:
      // Common controls keep their own copy of the system colours.
      SendMessageW(main_window->tab_control, WM_SYSCOLORCHANGE, 0, 0);
      DropPageBrush(window);
      return false;
    case WM_THEMECHANGED:
      DropPageBrush(window);
      return false;
    default:
      return false;
  }
}
