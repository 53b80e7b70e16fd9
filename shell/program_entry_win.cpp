// The program's entry: locale, window class, fonts, records, main window
// and the message loop.
#include <clocale>
#include <cstring>

#include "link/link_session.h"
#include "output/output_types.h"
#include "resources/resource_ids.h"
#include "settings/settings_records.h"
#include "shell/link_bytes_win.h"
#include "shell/main_window_win.h"
#include "ui/dpi_scaling.h"
#include "ui/wide_text_win.h"

namespace {

constexpr wchar_t kClassName[] = L"MYMAIN";

void StopPollTimer(void*) {
  KillTimer(main_window_handle, TIMER_POLL);
}

void ShowLiveCode(void*, int mode, int output_type, int16_t code) {
  char text[32];
  FormatOutputValue(code, output_type, text);
  ShowLiveReport(text, output_type, mode);
}

void SetJapaneseLocale() {
  setlocale(LC_ALL, "japanese");
  // Values are written and parsed with '.', whatever the locale would say.
  const lconv* numbers = localeconv();
  if (numbers == nullptr || std::strcmp(numbers->decimal_point, ".") != 0) {
    setlocale(LC_NUMERIC, "C");
  }
}

bool RegisterMainClass(HINSTANCE instance) {
  WNDCLASSW window_class = {};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = MainWindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, L"MYICON");
  window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszMenuName = L"TOPMENU";
  window_class.lpszClassName = kClassName;
  return RegisterClassW(&window_class) != 0;
}

int ReadScreenDpi() {
  int dpi = 0;
  HDC screen = GetDC(nullptr);
  if (screen != nullptr) {
    dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
  }
  return UsableDpi(dpi);
}

HFONT MakeFont(int height) {
  const std::wstring face = Widen("ＭＳ ゴシック");
  return CreateFontW(height, 0, 0, 0, 400, FALSE, FALSE, FALSE, 128 /* SHIFTJIS_CHARSET */,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, 2 /* PROOF_QUALITY */,
                     0x31 /* FIXED_PITCH | FF_MODERN */, face.c_str());
}

void CreateFonts() {
  const FontHeights heights = FontHeightsForDpi(screen_dpi);
  normal_font = MakeFont(heights.normal);
  medium_font = MakeFont(heights.medium);
  large_font = MakeFont(heights.large);
}

void FreeRecords() {
  delete main_window->link_session;
  delete main_window;
  main_window = nullptr;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  instance_handle = instance;
  SetJapaneseLocale();
  if (!RegisterMainClass(instance)) return 0;
  screen_dpi = ReadScreenDpi();
  CreateFonts();

  main_window = new MainWindowRecord{};
  main_window->link_session = new LinkSession{};
  InitLinkSession(main_window->link_session);
  LinkEvents& events = main_window->link_session->events;
  events.live_report = ShowLiveCode;
  events.disconnecting = StopPollTimer;
  events.bytes_arrived = PostLinkBytes;
  ResetConnectionSettings();

  HWND window =
      CreateWindowExW(0, kClassName, L"RV-SOLA62", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                      CW_USEDEFAULT, CW_USEDEFAULT, Scale(kMainWindowWidth),
                      Scale(kMainWindowHeight), nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    FreeRecords();
    return 0;
  }
  main_window_handle = window;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  CompleteMainWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  FreeRecords();
  return 0;
}
