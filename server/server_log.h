// The server's lines on stdout, from any thread, each written whole.
#pragma once
#include <cstdint>
#include <string>

// With the local time in ISO 8601: "2026-12-06T03:04:05.123+09:00 link lost".
void LogLine(const std::string& text);
// A frame of the instrument link as the client's -v shows it, with the
// seconds since start: "0.000213 > AA 10 00 00 00 BB".
void LogFrame(bool outgoing, const uint8_t* frame, int count, bool checksum_good);
