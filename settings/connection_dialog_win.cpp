// The connection settings dialog (template 2001): method, serial port from
// the list of present ports, or IPv4 address and TCP port.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "link/port_enumeration_win.h"
#include "resources/resource_ids.h"
#include "settings/config_file_win.h"
#include "settings/dialogs_win.h"
#include "settings/port_choice.h"
#include "settings/settings_records.h"
#include "ui/wide_text_win.h"

namespace {

const int kSerialRow[] = {IDC_CONN_PORT_LABEL, IDC_CONN_PORT_LIST};
const int kTcpRows[] = {IDC_CONN_IP_LABEL, IDC_CONN_IP, IDC_CONN_TCP_PORT_LABEL, IDC_CONN_TCP_PORT};

LRESULT Send(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
  return SendDlgItemMessageW(dialog, id, message, wparam, lparam);
}

void ShowRowsForMethod(HWND dialog) {
  bool tcp = Send(dialog, IDC_CONN_METHOD, CB_GETCURSEL, 0, 0) == 1;
  for (int id : kTcpRows) ShowWindow(GetDlgItem(dialog, id), tcp ? SW_SHOWNA : SW_HIDE);
  for (int id : kSerialRow) ShowWindow(GetDlgItem(dialog, id), tcp ? SW_HIDE : SW_SHOWNA);
}

void AddItem(HWND dialog, int id, const char* text) {
  std::wstring wide = Widen(text);
  Send(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void Initialise(HWND dialog) {
  ConnectionSettings& settings = connection_settings;
  for (const char* name : kConnectionMethodNames) AddItem(dialog, IDC_CONN_METHOD, name);
  Send(dialog, IDC_CONN_METHOD, CB_SETCURSEL, 0, 0);
  if (settings.connection_type < 0 || settings.connection_type >= 2) settings.connection_type = 0;
  Send(dialog, IDC_CONN_METHOD, CB_SETCURSEL, static_cast<WPARAM>(settings.connection_type), 0);
  ShowRowsForMethod(dialog);

  // Only preselected: the stored port changes with OK, never on opening.
  PortList ports = MakePortList(EnumeratePortNames());
  for (const std::string& item : ports.items) AddItem(dialog, IDC_CONN_PORT_LIST, item.c_str());
  SelectStoredPort(&ports, settings.com_port);
  if (ports.selected >= 0) {
    Send(dialog, IDC_CONN_PORT_LIST, CB_SETCURSEL, static_cast<WPARAM>(ports.selected), 0);
  }

  Send(dialog, IDC_CONN_IP, IPM_SETADDRESS, 0, static_cast<LPARAM>(settings.ip_address));
  char port[16];
  std::snprintf(port, sizeof port, "%d", static_cast<int>(settings.tcp_port));
  SetControlText(GetDlgItem(dialog, IDC_CONN_TCP_PORT), port);
}

std::string SelectedPortText(HWND dialog) {
  LRESULT selected = Send(dialog, IDC_CONN_PORT_LIST, CB_GETCURSEL, 0, 0);
  if (selected < 0) return {};
  LRESULT length = Send(dialog, IDC_CONN_PORT_LIST, CB_GETLBTEXTLEN, selected, 0);
  if (length < 0 || length >= static_cast<LRESULT>(kPortNameSize)) return {};
  wchar_t text[kPortNameSize];
  Send(dialog, IDC_CONN_PORT_LIST, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(text));
  return Narrow(text);
}

// Stores every usable field; false when the TCP port is not one, which is
// then neither stored nor saved.
bool TakeChoices(HWND dialog) {
  ConnectionSettings& settings = connection_settings;
  LRESULT method = Send(dialog, IDC_CONN_METHOD, CB_GETCURSEL, 0, 0);
  if (method == 0 || method == 1) settings.connection_type = static_cast<int32_t>(method);
  TakePortName(SelectedPortText(dialog).c_str(), settings.com_port);
  DWORD address = 0;
  Send(dialog, IDC_CONN_IP, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
  settings.ip_address = address;
  const std::string text = GetControlText(GetDlgItem(dialog, IDC_CONN_TCP_PORT));
  const int32_t port = TextToInteger(text.c_str());
  const bool usable = IsUsableTcpPort(port);
  if (usable) settings.tcp_port = static_cast<uint32_t>(port);
  for (SettingItem item : kConnectionItems) {
    if (usable || item != SettingItem::kTcpPort) SaveSetting(item);
  }
  if (!usable) ShowWarning(dialog, "ポート番号は1～65535の範囲で入力してください。", "エラー");
  return usable;
}

}  // namespace

INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Initialise(dialog);
      return FALSE;  // leave the focus alone
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_CONN_METHOD:
          if (HIWORD(wparam) != CBN_SELCHANGE) return FALSE;
          ShowRowsForMethod(dialog);
          return TRUE;
        case IDC_CONN_OK:
          if (TakeChoices(dialog)) EndDialog(dialog, IDOK);
          return TRUE;
        case IDC_CONN_CANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      return FALSE;  // Enter and Esc do nothing here
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}
