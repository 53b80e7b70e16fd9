// Connect and disconnect: opening and closing the link, the main window's
// controls for each state, and the poll timer that watches the link.
#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/transports.h"
#include "output/normal_output_win.h"
#include "resources/resource_ids.h"
#include "settings/settings_records.h"
#include "shell/main_window_win.h"
#include "shell/status_text.h"
#include "ui/wide_text_win.h"

namespace {

// Bytes are parsed as soon as a reader posts WM_LINK_BYTES; the tick only
// watches for a silent link, so a slow one keeps an idle window idle.
constexpr UINT kPollPeriodMs = 100;

int OpenSelectedTransport(LinkSession* session) {
  LinkAddress address;
  switch (connection_settings.connection_type) {
    case 0:
      address.device = connection_settings.com_port;
      break;
    case 1: {
      const uint32_t ip = connection_settings.ip_address;
      address.tcp = true;
      address.host = std::to_string(ip >> 24) + "." + std::to_string(ip >> 16 & 0xFF) + "." +
                     std::to_string(ip >> 8 & 0xFF) + "." + std::to_string(ip & 0xFF);
      address.port = static_cast<uint16_t>(connection_settings.tcp_port);
      break;
    }
    default:
      // No transport belongs to this method: the attempt fails like a port
      // that would not open.
      return -1;
  }
  // The window shows its own fixed message; the reason is for the client.
  std::string reason;
  return OpenLink(session, address, &reason);
}

void ShowConnectedButtons(bool connected) {
  EnableWindow(main_window->connect_button, !connected);
  EnableWindow(main_window->disconnect_button, connected);
  EnableWindow(main_window->settings_button, !connected);
  EnableWindow(main_window->clock_button, connected);
  EnableWindow(main_window->off_button, connected);
}

void OpenAndIdentify(HWND window) {
  LinkSession* session = main_window->link_session;

  int result = OpenSelectedTransport(session);
  if (result == 0) result = IdentifyInstrument(session);

  if (result == 0) {
    StartLinkWatch(session);
    SetTimer(window, TIMER_POLL, kPollPeriodMs, nullptr);
    ShowConnectedButtons(true);
    EnablePageControls(true, main_window);
    connection_settings.connected = true;
    main_window->connected = true;
    SendMessageW(main_window->realtime_check, BM_SETCHECK, BST_UNCHECKED, 0);
    ApplyRealtimeCheck();
    ShowConnectionText();
    ShowIdentityText();
    return;
  }

  if (IdentifyCallsForDisconnect(result)) {
    Disconnect(session);
  } else {
    CloseTransport(session);
  }
  ShowWarning(window, ConnectFailureMessage(result), "接続失敗");
  connection_settings.connected = false;
  ShowConnectionText();
  ShowIdentityText();
}

}  // namespace

void ConnectInstrument(HWND window) {
  // The button is disabled while connected; a second open would replace the
  // live transport. A connect's failure message runs a message loop, in which
  // a posted 接続 would start another connect under the first.
  static bool connecting = false;
  if (connection_settings.connected || connecting) return;
  connecting = true;
  OpenAndIdentify(window);
  connecting = false;
}

void DisconnectInstrument(HWND window) {
  if (!connection_settings.connected) return;
  KillTimer(window, TIMER_POLL);
  // After a lost link this sends nothing and only closes the transport.
  Disconnect(main_window->link_session);
  ShowConnectedButtons(false);
  EnablePageControls(false, main_window);
  connection_settings.connected = false;
  main_window->connected = false;
  ShowConnectionText();
  ShowIdentityText();
}

int PollLinkTimer(HWND window) {
  if (!connection_settings.connected) {
    // A tick that was already queued when the link closed.
    KillTimer(window, TIMER_POLL);
    return 0;
  }
  return PollLink(main_window->link_session) < 0 ? -1 : 0;
}
