// What the window looks like on the screen: the page controls show the tab's
// body around their texts, the window's own controls its button face, and
// the slider's whole track is in view and takes clicks.
#include <cstdio>
#include <utility>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/e2e/scenario.h"

using namespace e2e;

namespace {

POINT OnScreen(HWND control, int x, int y) {
  POINT point = {x, y};
  ClientToScreen(control, &point);
  return point;
}

COLORREF ScreenPixel(HWND control, int x, int y) {
  const POINT point = OnScreen(control, x, y);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, point.x, point.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

std::string ColourHex(COLORREF colour) {
  char text[16];
  std::snprintf(text, sizeof(text), "%06lx", static_cast<unsigned long>(colour));
  return text;
}

struct Spot {
  HWND control;
  int x, y;
};

// What the spots show once the window has stopped repainting.
std::vector<COLORREF> SettledPixels(const std::vector<Spot>& spots) {
  std::vector<COLORREF> last, now;
  WaitUntil([&] {
    last = std::exchange(now, {});
    Sleep(last.empty() ? 0 : 150);
    for (const Spot& spot : spots) now.push_back(ScreenPixel(spot.control, spot.x, spot.y));
    return now == last;
  });
  return now;
}

void ClickOnScreen(POINT point) {
  SetCursorPos(point.x, point.y);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, input, sizeof(INPUT));
}

}  // namespace

TEST_F(Scenario, PagesShowTheTabBodyAndTheWholeSliderTrack) {
  ConnectToFake();
  SetForegroundWindow(run.window);

  HWND tab = run.Control(IDC_TAB);
  HWND slider = run.Control(IDC_SLIDER);
  // The minus step labels reach 15 pixels into the slider's top; a column
  // under label 218 and one between the labels, away from the thumb.
  const int covered = 65;
  const int clear = 115;
  std::vector<Spot> spots = {
      {tab, 380, 200},  // right of the group boxes: nothing covers the tab's body
      // Free corners, clear of each control's text.
      {run.Control(IDC_TYPE_RADIO_0), 97, 2},
      {run.Control(IDC_REALTIME_CHECK), 297, 1},
      {run.Control(214), 57, 2},
      {run.Control(IDC_RANGE_MIN), 57, 17},
      {run.Control(IDC_MODE_LABEL), 97, 12},  // outside the tab
  };
  for (int y = 0; y < 15; ++y) {
    spots.push_back({slider, covered, y});
    spots.push_back({slider, clear, y});
  }
  const std::vector<COLORREF> pixels = SettledPixels(spots);
  const COLORREF body = pixels[0];
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  ASSERT_NE(body, face) << "the theme draws the tab's body as the button face: nothing to tell";
  for (size_t i = 1; i < 5; ++i) {
    EXPECT_EQ(ColourHex(pixels[i]), ColourHex(body))
        << "control " << GetDlgCtrlID(spots[i].control);
  }
  EXPECT_EQ(ColourHex(pixels[5]), ColourHex(face));
  for (size_t i = 6; i < spots.size(); i += 2) {
    EXPECT_EQ(ColourHex(pixels[i]), ColourHex(pixels[i + 1])) << "slider row " << spots[i].y;
  }

  // After a theme change the body is sampled afresh.
  SendMessageW(run.window, WM_THEMECHANGED, 0, 0);
  EXPECT_EQ(ColourHex(SettledPixels({spots[1]})[0]), ColourHex(body));

  // A click there is the slider's: one page (1) towards the click.
  const int before = run.Slider();
  ClickOnScreen(OnScreen(slider, covered, 10));
  EXPECT_TRUE(WaitUntil([&] { return run.Slider() == before - 1; }, 3000)) << run.Slider();

  run.Menu(IDM_EXIT);
  EXPECT_TRUE(ExitsWithZero(run));
}
