#include "sim/sim_command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const char* const kSimUsage =
    "usage: rv-sola62-sim [--tcp-port N] [--pty-link PATH] [options]\n"
    "  --tcp-port N        listen on 127.0.0.1:N (0: pick a free port)\n"
    "  --pty-link PATH     make a pty and link its slave at PATH\n"
    "  --log FILE          frame log (default: stderr)\n"
    "  --echo              send back every byte received (no instrument)\n"
    "  --stall             never read what arrives, as a port whose CTS stays low\n"
    "  --stall-for MS      read nothing for MS ms: from the start, or with\n"
    "  --stall-after N     after answering N frames since the last connect (0x10)\n"
    "  --clock 'YYYY-MM-DD HH:MM:SS'  instrument clock at start (default: local time)\n"
    "  --device-code N     device code in the version reply (default 2)\n"
    "  --firmware M.NN     firmware version (default 1.05)\n"
    "  --serial TEXT       8-character serial number (default RS620042)\n"
    "  --silent            never answer\n"
    "  --silent-after N    answer N frames, then none\n"
    "  --drop-after N      close the link after answering frame N (once)\n"
    "  --delay MS          hold every answer MS milliseconds\n"
    "  --status CMD=S      answer CMD with status S\n"
    "  --short CMD         answer CMD with its last data byte missing\n"
    "  --long CMD          answer CMD with one data byte too many\n"
    "  --bad-checksum CMD  answer CMD with a wrong checksum\n"
    "  CMD is a command code (0x42 or 66) or 'all'.\n";

namespace {

bool ParseNumber(const char* text, long min, long max, long* out) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 0);
  if (!*text || *end || value < min || value > max) return false;
  *out = value;
  return true;
}

bool ParseCommand(const char* text, int* out) {
  if (std::strcmp(text, "all") == 0) {
    *out = kAllCommands;
    return true;
  }
  long value;
  if (!ParseNumber(text, 0, 255, &value)) return false;
  *out = static_cast<int>(value);
  return true;
}

bool ParseClock(const char* text, int64_t* out) {
  int y, mo, d, h, mi, s;
  char tail;
  if (std::sscanf(text, "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) return false;
  if (y < 2000 || y > 2255 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 ||
      h < 0 || mi < 0 || s < 0) {
    return false;
  }
  *out = SecondsSince2000(y, mo, d, h, mi, s);
  return true;
}

}  // namespace

bool ParseSimCommandLine(int argc, const char* const* argv, SimCommandLine* out,
                         std::string* error) {
  SimOptions& o = out->options;
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    auto fail = [&](const char* why) {
      *error = flag + ": " + why;
      return false;
    };
    if (flag == "--echo") {
      out->echo = true;
      continue;
    }
    if (flag == "--stall") {
      out->stall = true;
      continue;
    }
    if (flag == "--silent") {
      o.silent = true;
      continue;
    }
    if (i + 1 >= argc) return fail("needs a value");
    const char* value = argv[++i];
    long number;
    int command;
    if (flag == "--tcp-port") {
      if (!ParseNumber(value, 0, 65535, &number)) return fail("not a port number");
      out->tcp_port = static_cast<int>(number);
    } else if (flag == "--pty-link") {
      out->pty_link = value;
    } else if (flag == "--log") {
      out->log_path = value;
    } else if (flag == "--clock") {
      if (!ParseClock(value, &out->clock_seconds)) return fail("not 'YYYY-MM-DD HH:MM:SS'");
      out->has_clock = true;
    } else if (flag == "--device-code") {
      if (!ParseNumber(value, 0, 255, &number)) return fail("not 0..255");
      o.device_code = static_cast<int>(number);
    } else if (flag == "--firmware") {
      int major, minor;
      char tail;
      if (std::sscanf(value, "%d.%d%c", &major, &minor, &tail) != 2 || major < 0 || major > 255 ||
          minor < 0 || minor > 255) {
        return fail("not M.NN");
      }
      o.firmware_major = major;
      o.firmware_minor = minor;
    } else if (flag == "--serial") {
      if (std::strlen(value) != 8) return fail("needs 8 characters");
      o.serial_number = value;
    } else if (flag == "--silent-after" || flag == "--drop-after" || flag == "--stall-after") {
      if (!ParseNumber(value, 0, 1000000000, &number)) return fail("not a count");
      (flag == "--silent-after" ? o.silent_after
       : flag == "--drop-after" ? o.drop_after
                                : o.stall_after) = number;
    } else if (flag == "--delay" || flag == "--stall-for") {
      if (!ParseNumber(value, 0, 60000, &number)) return fail("not 0..60000 ms");
      (flag == "--delay" ? o.delay_ms : o.stall_ms) = static_cast<uint32_t>(number);
    } else if (flag == "--status") {
      const char* equals = std::strchr(value, '=');
      if (!equals) return fail("needs CMD=S");
      std::string code(value, equals);
      if (!ParseCommand(code.c_str(), &command) || !ParseNumber(equals + 1, 0, 255, &number)) {
        return fail("needs CMD=S");
      }
      o.status_override[command] = static_cast<int>(number);
    } else if (flag == "--short" || flag == "--long" || flag == "--bad-checksum") {
      if (!ParseCommand(value, &command)) return fail("not a command code or 'all'");
      bool* flags = flag == "--short"  ? o.short_reply
                    : flag == "--long" ? o.long_reply
                                       : o.bad_checksum;
      flags[command] = true;
    } else {
      --i;
      return fail("unknown option");
    }
  }
  if (out->tcp_port < 0 && out->pty_link.empty()) {
    *error = "give --tcp-port, --pty-link or both";
    return false;
  }
  return true;
}
