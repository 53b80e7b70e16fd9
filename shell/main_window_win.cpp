// The main window's message dispatch and the program's shut-down.
#include "shell/main_window_win.h"

#include <commctrl.h>

#include "link/link_exchange.h"
#include "output/normal_output_win.h"
#include "output/replay_output_win.h"
#include "output/sweep_output_win.h"
#include "resources/resource_ids.h"
#include "settings/config_file_win.h"
#include "settings/dialogs_win.h"
#include "settings/settings_records.h"
#include "shell/link_bytes_win.h"
#include "shell/page_background_win.h"
#include "ui/wide_text_win.h"

namespace {

// Set once the shut-down steps have run: the window may still get WM_DESTROY
// when the thread's windows are torn down after the loop, and the steps must
// not run twice.
bool shut_down_done = false;

// Every way the program ends comes here. The pages' entries are taken into
// the records now, so the saving itself needs nothing of the pages.
void ShutDown() {
  if (shut_down_done) return;
  shut_down_done = true;
  if (connection_settings.connected) Disconnect(main_window->link_session);
  CaptureOutputEntries();
  CaptureReplayEntries();
  SaveOutputSettings();
  PostQuitMessage(0);
}

INT_PTR OpenDialog(HWND window, int template_id, DLGPROC procedure) {
  return DialogBoxParamW(instance_handle, MAKEINTRESOURCEW(template_id), window, procedure, 0);
}

void InitCommonControlClasses() {
  INITCOMMONCONTROLSEX classes = {};
  classes.dwSize = sizeof(classes);
  classes.dwICC = ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES;
  if (!InitCommonControlsEx(&classes)) InitCommonControls();
}

// The commands that talk to the instrument. Their buttons are disabled
// without a link, but another program can post them: each would sit out the
// command time-out.
bool NeedsLink(int id) {
  return id == IDC_CLOCK_SETTINGS || (id >= IDC_SET_OUTPUT && id <= IDC_STOP_REPLAY);
}

// Returns true when the command was handled and the procedure returns 0.
bool HandleCommand(HWND window, int id) {
  if (NeedsLink(id) && !connection_settings.connected) return true;
  switch (id) {
    case IDM_ABOUT:
      OpenDialog(window, IDD_ABOUT, AboutDialogProc);
      return true;
    case IDC_CONNECT:
      ConnectInstrument(window);
      return true;
    case IDC_DISCONNECT:
      DisconnectInstrument(window);
      return true;
    case IDC_CONNECTION_SETTINGS:
      // Its button is disabled while connected, but another program can post
      // the command: the dialog would change the transport under the open link.
      if (!connection_settings.connected) {
        OpenDialog(window, IDD_CONNECTION, ConnectionDialogProc);
        ShowConnectionText();  // OK may have stored a method before the dialog stayed open
      }
      return true;
    case IDC_CLOCK_SETTINGS:
      OpenDialog(window, IDD_CLOCK, ClockDialogProc);
      return true;
    case IDC_TYPE_RADIO_0:
    case IDC_TYPE_RADIO_0 + 1:
    case IDC_TYPE_RADIO_0 + 2:
    case IDC_TYPE_RADIO_0 + 3:
      ApplyOutputType();
      return true;
    case IDC_SET_OUTPUT:
      SetOutputValue(window);
      return true;
    case IDC_OUTPUT_OFF:
      OutputOff(window);
      return true;
    case IDC_START_SWEEP:
      StartSweep(window);
      return true;
    case IDC_START_REPLAY:
      StartReplay(window);
      return true;
    case IDC_STOP_REPLAY:
      StopReplay(window);
      return true;
    case IDC_REALTIME_CHECK:
      ApplyRealtimeCheck();
      return true;
    case IDC_REPEAT_CHECK:
      ApplyRepeatCheck();
      return true;
    default:
      return false;
  }
}

void HandleTimer(HWND window, UINT_PTR timer) {
  switch (timer) {
    case TIMER_LIVE_VALUE:
      if (main_window->connected) LiveValueTick(window);
      break;
    case TIMER_POLL:
      if (PollLinkTimer(window) < 0) {
        DisconnectInstrument(window);
        ShowWarning(window, "通信が切断されました。", "エラー");
      }
      break;
    case TIMER_REALTIME:
      RealtimeTick(window);
      break;
    default:
      break;
  }
}

// Returns true with *result set when the notification was handled.
bool HandleNotify(WPARAM wparam, LPARAM lparam, LRESULT* result) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
  if (header == nullptr) return false;
  const int id = static_cast<int>(wparam);
  if (header->code == UDN_DELTAPOS && id >= IDC_STEP_COARSE && id <= IDC_STEP_COARSE + 2) {
    StepOutputValue(id, reinterpret_cast<const NMUPDOWN*>(lparam)->iDelta);
    // Refused: the control's position never moves, so it never reaches a
    // limit at which a system may stop notifying.
    *result = 1;
    return true;
  }
  if (header->code == TCN_SELCHANGE) {
    ShowSelectedPage(main_window);
    *result = 0;
    return true;
  }
  return false;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  // Nothing to dispatch to once the records are gone (after the loop).
  if (main_window == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  LRESULT answer = 0;
  if (HandlePageBackground(window, message, wparam, lparam, &answer)) return answer;
  switch (message) {
    case WM_CREATE:
      main_window_handle = window;
      InitCommonControlClasses();
      LoadSettings();
      BuildMainWindow(window);
      CreateStatusBar(window);
      break;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (id == IDM_EXIT) {
        ShutDown();
        break;
      }
      if (HandleCommand(window, id)) return 0;
      break;
    }
    case WM_TIMER:
      HandleTimer(window, wparam);
      break;
    case WM_LINK_BYTES:
      FeedLinkBytes();
      return 0;
    case WM_HSCROLL:
      if (lparam != 0 && reinterpret_cast<HWND>(lparam) == GetDlgItem(window, IDC_SLIDER)) {
        SliderMoved();
      }
      break;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (HandleNotify(wparam, lparam, &result)) return result;
      break;
    }
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // The system ends the process soon after this, without WM_DESTROY: the
      // instrument is told and the entries are saved now, as on an exit.
      if (wparam) ShutDown();
      return 0;
    case WM_DESTROY:
      ShutDown();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}
