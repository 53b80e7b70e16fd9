// The about box (template 2000).
#include "resources/resource_ids.h"
#include "settings/dialog_text.h"
#include "settings/dialogs_win.h"
#include "ui/wide_text_win.h"

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetControlText(GetDlgItem(dialog, IDC_ABOUT_VERSION),
                     VersionLine(kVersionMajor, kVersionMinor).c_str());
      return FALSE;  // leave the focus alone
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_ABOUT_OK:
        case IDOK:
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}
