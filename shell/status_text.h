// The status bar's texts and the outcome of a failed connect, kept apart
// from the window so they can be checked on any platform.
#pragma once
#include <string>

// "USB接続(接続中)" and the like. The settings file can hold any number as the
// connection type; one without a known method gets no name rather than a
// guessed one, and never an index past the table.
std::string ConnectionText(int connection_type, bool connected);

// "F/W Ver 1.05 (S/N:RS620042)" while connected with a reported version,
// otherwise empty. At most 8 characters of the serial number are used.
std::string IdentityText(bool connected, int firmware_version, const char* serial_number);

// What a failed connect attempt shows (UTF-8), null for result 0.
const char* ConnectFailureMessage(int result);
