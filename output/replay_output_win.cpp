// Replay output page: start and stop the instrument's replay of a logged
// channel, and the repeat check box.
#include "output/replay_output_win.h"

#include <windows.h>

#include <string>

#include "link/instrument_commands.h"
#include "link/link_exchange.h"
#include "output/entry_checks.h"
#include "output/normal_output_win.h"
#include "settings/settings_records.h"
#include "ui/main_window_record_win.h"
#include "ui/wide_text_win.h"

namespace {

void TakeChannelSelection() {
  const LRESULT selection = SendMessageW(main_window->channel_list, CB_GETCURSEL, 0, 0);
  if (selection != CB_ERR) output_settings.replay_channel = static_cast<int32_t>(selection);
}

}  // namespace

void StartReplay(HWND window) {
  TakeChannelSelection();
  const std::string text = GetControlText(main_window->count_box);
  uint16_t count = 0;
  const std::string message = EntryMessage(CheckReplayCount(
      text.c_str(), output_settings.replay_endless, &output_settings.replay_count, &count));
  if (!message.empty()) {
    ShowWarning(window, message.c_str(), "エラー");
    return;
  }
  StopRealtimeOutput();
  if (SendReplayCommand(main_window->link_session,
                        static_cast<uint8_t>(output_settings.replay_channel), count) != 0) {
    ShowNoAnswer(window);
  }
}

void StopReplay(HWND window) {
  if (SendCommandAndWait(main_window->link_session, CMD_STOP_REPLAY, 0, nullptr) != 0) {
    ShowNoAnswer(window);
  }
}

void ApplyRepeatCheck() {
  const bool endless = SendMessageW(main_window->repeat_check, BM_GETCHECK, 0, 0) == BST_CHECKED;
  output_settings.replay_endless = endless;
  EnableWindow(main_window->count_box, !endless);
}

void CaptureReplayEntries() {
  TakeChannelSelection();
  const std::string text = GetControlText(main_window->count_box);
  CaptureReplayCount(text.c_str(), &output_settings.replay_count);
}
