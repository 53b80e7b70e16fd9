#include "server/server_log.h"

#include <chrono>
#include <cstdio>
#include <mutex>

#include "cli/time_texts.h"

namespace {

std::mutex log_mutex;  // also guards the shared result of localtime
const auto log_start = std::chrono::steady_clock::now();

}  // namespace

void LogLine(const std::string& text) {
  std::lock_guard<std::mutex> lock(log_mutex);
  std::printf("%s %s\n", LocalTimestampNow().c_str(), text.c_str());
  std::fflush(stdout);
}

void LogFrame(bool outgoing, const uint8_t* frame, int count, bool checksum_good) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - log_start).count();
  std::string hex;
  char pair[4];
  for (int i = 0; i < count; ++i) {
    std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : " %02X", frame[i]);
    hex += pair;
  }
  std::lock_guard<std::mutex> lock(log_mutex);
  std::printf("%.6f %c %s%s\n", seconds, outgoing ? '>' : '<', hex.c_str(),
              checksum_good ? "" : " (bad checksum)");
  std::fflush(stdout);
}
