// Start to visible window of two programs, started in turns so that both see
// the same machine: prints the median of each and their ratio.
// usage: startup_probe BASELINE.exe PROGRAM.exe COUNT WORKING_DIRECTORY
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Search {
  DWORD process;
  bool found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM context) {
  Search* search = reinterpret_cast<Search*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == search->process && IsWindowVisible(window)) search->found = true;
  return !search->found;
}

// Milliseconds from CreateProcess to the process's first visible top-level
// window; negative when it did not show one within 20 s.
double TimeToVisible(const std::string& program, const std::string& directory) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string command = "\"" + program + "\"";
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.c_str(), &startup, &process)) {
    return -1;
  }
  double elapsed = -1;
  for (Search search = {process.dwProcessId, false};;) {
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    QueryPerformanceCounter(&now);
    const double ms = 1000.0 * (now.QuadPart - start.QuadPart) / frequency.QuadPart;
    if (search.found) elapsed = ms;
    if (search.found || ms > 20000) break;
    Sleep(1);
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return elapsed;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: startup_probe BASELINE.exe PROGRAM.exe COUNT DIRECTORY\n");
    return 2;
  }
  const int count = std::atoi(argv[3]);
  std::vector<double> times[2];
  for (int run = -1; run < count; ++run) {  // run -1 only warms the caches
    for (int which = 0; which < 2; ++which) {
      const double ms = TimeToVisible(argv[1 + which], argv[4]);
      if (ms < 0) {
        std::fprintf(stderr, "%s showed no window\n", argv[1 + which]);
        return 1;
      }
      if (run >= 0) times[which].push_back(ms);
    }
  }
  const double baseline = Median(times[0]), program = Median(times[1]);
  std::printf("start to visible window, median of %d: minimal %.0f ms, program %.0f ms, %.2fx\n",
              count, baseline, program, program / baseline);
  return 0;
}
