// Starts the program in a prepared directory, connects it, sets an output value
// and waits until the live value shows; then shows each output page in turn,
// holding it for a screenshot until the next file appears (and removing it),
// and exits the program through its menu.
//
// usage: e2e_demo WORK_DIR NEXT_FILE   (RV_E2E_PROGRAM names the program)
#include <cstdio>
#include <cstdlib>

#include "tests/e2e/harness.h"

using namespace e2e;

namespace {

int Fail(ProgramRun& run, const char* what) {
  std::printf("failed: %s\n", what);
  Dialog box;
  if (run.WaitForDialog(100, &box)) {
    std::printf("message: %s: %s\n", box.caption.c_str(), box.text.c_str());
  }
  std::fflush(stdout);
  run.Kill();
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("usage: e2e_demo WORK_DIR NEXT_FILE\n");
    return 2;
  }
  const std::wstring next_file = WindowsPath(argv[2]);
  ProgramRun run;
  std::string error;
  if (!run.Start(WindowsPath(argv[1]), &error)) {
    std::printf("failed: %s\n", error.c_str());
    return 1;
  }
  run.Click(400);  // 接続
  if (!WaitUntil([&] { return run.Enabled(401); }, 10000)) return Fail(run, "no connection");
  if (!WaitUntil([&] { return run.Text(201) != "-------"; }, 5000)) {
    return Fail(run, "no live value");
  }
  // A value on the output makes a more telling picture; not needed to go on.
  run.SetText(501, "25.00");
  run.Click(440);
  WaitUntil([&] { return run.Text(201) == "25.00"; }, 3000);

  RECT rect;
  GetWindowRect(run.window, &rect);
  std::printf("window %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top);
  std::printf("connected %s %s\n", run.Text(201).c_str(), run.Status(2).c_str());
  // A benchmark holds the window longer than a screenshot needs.
  const char* hold_s = std::getenv("RV_DEMO_HOLD_S");
  const DWORD hold_ms = hold_s ? std::atoi(hold_s) * 1000 : 60000;
  for (int page = 0; page < 3; ++page) {
    if (!run.SelectTab(page)) return Fail(run, "no page");
    std::printf("page %d\n", page);
    std::fflush(stdout);
    WaitUntil([&] { return DeleteFileW(next_file.c_str()) != 0; }, hold_ms);
  }
  run.Menu(100);  // 終了
  DWORD code = 1;
  if (!run.WaitForExit(kWaitTimeoutMs, &code)) return Fail(run, "the program did not end");
  std::printf("exit %lu\n", code);
  return code == 0 ? 0 : 1;
}
