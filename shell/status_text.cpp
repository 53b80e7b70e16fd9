#include "shell/status_text.h"

#include <cstdio>

#include "settings/settings_records.h"

std::string ConnectionText(int connection_type, bool connected) {
  std::string text;
  if (connection_type >= 0 && connection_type <= 1) text = kConnectionMethodNames[connection_type];
  // Joined rather than formatted: the runtime's printf may be in a DBCS locale.
  text += connected ? "接続(接続中)" : "接続(未接続)";
  return text;
}

std::string IdentityText(bool connected, int firmware_version, const char* serial_number) {
  if (!connected || firmware_version <= 0) return {};
  char text[100];
  std::snprintf(text, sizeof text, "F/W Ver %d.%02d (S/N:%.8s)", firmware_version / 100,
                firmware_version % 100, serial_number ? serial_number : "");
  return text;
}

const char* ConnectFailureMessage(int result) {
  switch (result) {
    case 0:
      return nullptr;
    case -3:
      return "計測器情報の取得に失敗しました。";
    case -4:
      return "計測器が接続されていません。";
    default:
      // -1 (no transport) and -2 (the connect command went unanswered or was refused).
      return "接続できませんでした。";
  }
}
