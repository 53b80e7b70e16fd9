// The clock dialog (template 2002): read the instrument's clock, or set it
// to the PC's local time, and say what was read or set.
#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "resources/resource_ids.h"
#include "settings/dialog_text.h"
#include "settings/dialogs_win.h"
#include "ui/main_window_record_win.h"
#include "ui/wide_text_win.h"

namespace {

void Tell(HWND dialog, const std::string& text, const char* caption) {
  MessageBoxW(dialog, Widen(text.c_str()).c_str(), Widen(caption).c_str(), MB_OK);
}

// Without an answer the fields hold an old time, or the PC's: never shown as
// the instrument's.
void GetClock(HWND dialog) {
  LinkSession* session = main_window->link_session;
  if (GetInstrumentClock(session) != 0) return ShowNoAnswer(dialog);
  Tell(dialog, ClockGetMessage(session->clock_fields), "本体時刻取得");
}

void SetClock(HWND dialog) {
  LinkSession* session = main_window->link_session;
  if (SetInstrumentClock(session, nullptr) != 0) return ShowNoAnswer(dialog);
  Tell(dialog, ClockSetMessage(session->clock_fields), "本体時刻設定");
}

}  // namespace

INT_PTR CALLBACK ClockDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_CLOCK_CLOSE:
          EndDialog(dialog, 0);
          return TRUE;
        case IDC_CLOCK_GET:
          GetClock(dialog);
          return TRUE;
        case IDC_CLOCK_SET:
          SetClock(dialog);
          return TRUE;
      }
      return FALSE;  // Enter and Esc do nothing here
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}
