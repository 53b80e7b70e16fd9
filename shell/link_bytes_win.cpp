#include "shell/link_bytes_win.h"

#include <atomic>

#include "link/link_frame.h"
#include "settings/settings_records.h"
#include "ui/main_window_record_win.h"

namespace {

std::atomic<bool> link_bytes_posted{false};

}  // namespace

void PostLinkBytes(void*) {
  if (link_bytes_posted.exchange(true)) return;
  if (!PostMessageW(main_window_handle, WM_LINK_BYTES, 0, 0)) link_bytes_posted = false;
}

void FeedLinkBytes() {
  link_bytes_posted = false;
  // While a connect identifies the instrument, its own wait does the parsing.
  if (connection_settings.connected) ParseReceived(main_window->link_session);
}
