// What the commands print: live records, link events, results, errors and
// the port list, as text, CSV or one JSON object per line.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/exit_codes.h"

struct LiveRecord {
  std::string time;  // when the report arrived
  int output_type;
  int mode;
  bool has_value;  // false for an output type the table does not know
  int16_t code;    // as the instrument sent it
  double value;
  std::string text;  // as the window shows it
  std::string unit;
};

// From a live report's instrument code, through the link's own formatting.
LiveRecord MakeLiveRecord(std::string time, int16_t code, int output_type, int mode);

const char* ModeName(int mode);       // "normal", "replay", "sweep", or "unknown"
extern const char* const kCsvHeader;  // "time,value,unit,type,mode"

// command: "get" or "monitor", which JSON names.
std::string RecordLine(const LiveRecord& record, OutputFormat format, const char* command);
// JSON: {"command":"monitor","time":...,"event":"link_lost","reason":...};
// text and CSV: "TIME link_lost: REASON". No reason: none is shown.
std::string EventLine(const std::string& time, const char* event, const std::string& reason,
                      bool json);
// {"command":"set","error":{"code":1,"message":"...","status":4}}, the
// command and the status where the outcome has them.
std::string ErrorJson(const Outcome& outcome);
// The name JSON gives a command: "clock_set", "replay_stop", ...
const char* CommandJsonName(CommandKind kind);

// Bytes in hex: "AA 10 00".
std::string BytesInHex(const uint8_t* bytes, int count);
// A frame as -v shows it, with the seconds since start:
// "0.000213 > AA 10 00 00 00 BB", "... (bad checksum)".
std::string FrameLine(double seconds, bool outgoing, const uint8_t* frame, int count,
                      bool checksum_good);

// A byte string from the instrument, safe to print: other than printable
// ASCII is shown as \xNN.
std::string PrintableText(const char* bytes, size_t count);

struct SerialPortInfo {
  std::string port;         // /dev/ttyUSB0 or COM3
  std::string by_id;        // the stable /dev/serial/by-id path, or empty
  std::string usb_id;       // "0403:6001", or empty
  std::string serial;       // the USB serial number, or empty
  std::string description;  // or empty
};
std::string PortLine(const SerialPortInfo& port, bool json);

// A line stream: stdout or a file, each line flushed at once, so a crash
// loses at most the line being written. After a failed write it takes no
// more lines and keeps the system's error.
struct LineSink {
  FILE* file = stdout;
  bool own_file = false;
  int error = 0;
};
void WriteLine(LineSink* sink, const std::string& line);
// ok; quietly ending after a closed pipe; or kExitOutput with the reason.
Outcome WriteOutcome(const LineSink& sink);
// Appends to path; true with *is_empty when it is new or empty.
bool OpenAppending(const std::string& path, LineSink* sink, bool* is_empty, std::string* reason);
void CloseSink(LineSink* sink);
