// Connect and disconnect: opening and closing the link, the main window's
// controls for each state, and the poll timer that watches the link.
#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "link/transports_win.h"
#include "resources/resource_ids.h"
#include "settings/settings_records.h"
#include "shell/main_window_win.h"
#include "shell/status_text.h"

namespace {

constexpr UINT kPollPeriodMs = 10;

int OpenSelectedTransport() {
  switch (connection_settings.connection_type) {
    case 0:
      return OpenSerialLink(connection_settings.com_port);
    case 1:
      return OpenTcpLink(connection_settings.ip_address, connection_settings.tcp_port);
    default:
      // No transport belongs to this method: the attempt fails like a port
      // that would not open, and CloseTransport has nothing to close.
      return -1;
  }
}

void ShowConnectedButtons(bool connected) {
  EnableWindow(main_window->connect_button, !connected);
  EnableWindow(main_window->disconnect_button, connected);
  EnableWindow(main_window->settings_button, !connected);
  EnableWindow(main_window->clock_button, connected);
  EnableWindow(main_window->off_button, connected);
}

// PollLink and Disconnect stop and restart timer 1001 through the platform
// hooks that the entry installs; only without them is it done here.
bool PollTimerHooked() {
  return link_platform.stop_poll_timer != nullptr && link_platform.start_poll_timer != nullptr;
}

}  // namespace

void ConnectInstrument(HWND window) {
  // The button is disabled while connected; a second open would replace the
  // live transport.
  if (connection_settings.connected) return;
  link_state.link_lost = false;

  int result = OpenSelectedTransport();
  if (result == 0) result = IdentifyInstrument();

  if (result == 0) {
    SetTimer(window, TIMER_POLL, kPollPeriodMs, nullptr);
    link_state.idle_polls = 0;
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

  ConnectFailure failure = ConnectFailureFor(result);
  if (failure.send_disconnect) {
    Disconnect();
  } else {
    CloseTransport();
  }
  ShowWarning(window, failure.message, "接続失敗");
  connection_settings.connected = false;
  ShowConnectionText();
  ShowIdentityText();
}

void DisconnectInstrument(HWND window) {
  if (!connection_settings.connected) return;
  if (!PollTimerHooked()) KillTimer(window, TIMER_POLL);
  // After a lost link this sends nothing and only closes the transport.
  Disconnect();
  ShowConnectedButtons(false);
  EnablePageControls(false, main_window);
  connection_settings.connected = false;
  main_window->connected = false;
  ShowConnectionText();
  ShowIdentityText();
}

int PollLinkTimer(HWND window) {
  if (!connection_settings.connected) {
    // A tick that was already queued when the link closed: keep the timer
    // stopped instead of letting PollLink restart it.
    KillTimer(window, TIMER_POLL);
    return 0;
  }
  bool hooked = PollTimerHooked();
  if (!hooked) KillTimer(window, TIMER_POLL);
  int result = PollLink();
  if (!hooked) SetTimer(window, TIMER_POLL, kPollPeriodMs, nullptr);
  return result < 0 ? -1 : 0;
}
