// The status bar at the bottom of the main window: connection method and
// state in part 0, the instrument's identity in part 2, part 1 unused.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include "link/instrument_commands.h"
#include "resources/resource_ids.h"
#include "settings/settings_records.h"
#include "shell/main_window_win.h"
#include "shell/status_text.h"
#include "ui/wide_text_win.h"

namespace {

// Kept here because the bar is made during WM_CREATE, before the entry has
// stored the main window's handle.
HWND status_bar;

void SetPartText(int part, const std::string& text) {
  if (!status_bar) return;
  std::wstring wide = Widen(text.c_str());
  SendMessageW(status_bar, SB_SETTEXTW, static_cast<WPARAM>(part),
               reinterpret_cast<LPARAM>(wide.c_str()));
}

}  // namespace

void CreateStatusBar(HWND window) {
  status_bar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | CCS_BOTTOM, L"", window, IDC_STATUS_BAR);
  // Right edges in pixels, deliberately not scaled with the DPI.
  int edges[3] = {150, 250, 460};
  SendMessageW(status_bar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
  ShowConnectionText();
  SetPartText(1, "");
  ShowIdentityText();
}

void ShowConnectionText() {
  SetPartText(0,
              ConnectionText(connection_settings.connection_type, connection_settings.connected));
}

void ShowIdentityText() {
  const InstrumentIdentity& identity = main_window->link_session->instrument_identity;
  SetPartText(2, IdentityText(connection_settings.connected, identity.firmware_version,
                              identity.serial_number));
}
