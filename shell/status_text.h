// The status bar's texts and the outcome of a failed connect, kept apart
// from the window so they can be checked on any platform. Header-only: the
// host build compiles no shell/ sources.
#pragma once
#include <cstdio>
#include <string>

#include "settings/settings_records.h"

// "USB接続(接続中)" and the like. The settings file can hold any number as the
// connection type; one without a known method gets no name rather than a
// guessed one, and never an index past the table.
inline std::string ConnectionText(int connection_type, bool connected) {
  std::string text;
  if (connection_type >= 0 && connection_type <= 1) text = kConnectionMethodNames[connection_type];
  // Joined rather than formatted: the runtime's printf may be in a DBCS locale.
  text += connected ? "接続(接続中)" : "接続(未接続)";
  return text;
}

// "F/W Ver 1.05 (S/N:RS620042)" while connected with a reported version,
// otherwise empty. At most 8 characters of the serial number are used.
inline std::string IdentityText(bool connected, int firmware_version, const char* serial_number) {
  if (!connected || firmware_version <= 0) return {};
  char text[100];
  std::snprintf(text, sizeof text, "F/W Ver %d.%02d (S/N:%.8s)", firmware_version / 100,
                firmware_version % 100, serial_number ? serial_number : "");
  return text;
}

// What a failed connect attempt shows, and how its link is ended: with a
// disconnect command once the instrument has accepted the connect, otherwise
// by closing the transport without sending anything.
struct ConnectFailure {
  const char* message;  // UTF-8, null for result 0
  bool send_disconnect;
};

inline ConnectFailure ConnectFailureFor(int result) {
  switch (result) {
    case 0:
      return {nullptr, false};
    case -3:
      return {"計測器情報の取得に失敗しました。", true};
    case -4:
      return {"計測器が接続されていません。", true};
    default:
      // -1 (no transport) and -2 (the connect command went unanswered or was
      // refused): no session was opened, so nothing is sent.
      return {"接続できませんでした。", false};
  }
}
