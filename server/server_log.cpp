#include "server/server_log.h"

#include <chrono>
#include <cstdio>
#include <mutex>

#include "cli/records.h"
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
  const std::string line = FrameLine(seconds, outgoing, frame, count, checksum_good);
  std::lock_guard<std::mutex> lock(log_mutex);
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}
