// Start-up: the file the first start writes and the exit rewrites, the first
// window with the pages behind its tabs, unusable values.
#include <algorithm>

#include "tests/e2e/scenario.h"

using namespace e2e;

using Startup = Scenario;

// The menu's way out; the close box's is in test_connect.cpp. Every key in
// the file's order is the unit tests' business (ConfigFile); here, that the
// real file gets them. ip is the instrument's own access point address.
TEST_F(Startup, FirstStartWritesTheDefaultsAndMenuExitRewritesRealsWithSixDecimals) {
  ASSERT_TRUE(Started(run, std::nullopt));
  const Strings keys = {"IF/ip", "OUTPUT/repnum", "OUTPUT_CONF0/value", "OUTPUT_CONF3/sweep_b"};
  EXPECT_EQ(IniValues(run.Config(), keys), (Strings{"3232236545", "1", "0.00", "20.00"}));
  ASSERT_TRUE(run.SetText(501, "1.25"));
  run.Menu(100);
  ASSERT_TRUE(ExitsWithZero(run));
  EXPECT_EQ(IniValues(run.Config(), keys), (Strings{"3232236545", "1", "1.250000", "20.000000"}));
}

// With output type 1 configured, so that its labels show, its value behind
// a section longer than one read, blanks and capitals in keys, and values
// that cannot be used, which load as their defaults and are rewritten at once.
TEST_F(Startup, FirstWindowIsDisconnectedTabsSwitchPagesAndUnusableValuesLoadAsDefaults) {
  ASSERT_TRUE(Started(run,
                      "[IF]\r\ntype=2\r\ncom=COM1\r\nip=2130706433\r\nport=75637\r\n"
                      "[OUTPUT]\r\n Type = 1\r\nrepch=5\r\nrepchk=0\r\nrepnum=0\r\n"
                      "[OUTPUT_CONF1]\r\nnote=" +
                          std::string(5000, 'x') + "\r\nvalue=2.5\r\n"));
  // ip is usable, kept.
  EXPECT_EQ(
      IniValues(run.Config(), {"IF/type", "IF/port", "IF/ip", "OUTPUT/repch", "OUTPUT/repnum"}),
      (Strings{"0", "10101", "2130706433", "0", "1"}));
  EXPECT_EQ(run.Text(506), "1");
  EXPECT_EQ(run.Text(), "RV-SOLA62");
  // The test prefix runs at 96 DPI.
  RECT rect;
  GetWindowRect(run.window, &rect);
  EXPECT_EQ(rect.right - rect.left, 460);
  EXPECT_EQ(rect.bottom - rect.top, 660);
  EXPECT_EQ(LiveTexts(run), "------- | V | Mode: --- | Type: ---");
  EXPECT_EQ(run.Text(400), "接続");
  ExpectWindow(run, "USB", "");
  EXPECT_TRUE(run.NoDialogWithin(200));

  // 222, 226 and 230 are also label ids on the other pages.
  const std::pair<int, const char*> labels[] = {{210, "V"},      {211, "-10V"},  {212, "0V"},
                                                {213, "10V"},    {214, "+1.0V"}, {218, "-1.0V"},
                                                {222, "+0.1V"},  {226, "-0.1V"}, {230, "+0.01V"},
                                                {234, "-0.01V"}, {501, "2.500"}};
  for (const auto& [id, text] : labels) {
    EXPECT_TRUE(std::ranges::count(run.Texts(id), text) > 0) << id << " " << text;
  }
  for (int id : {420, 421, 422, 423}) EXPECT_EQ(run.Checked(id), id == 421) << id;

  // The type group belongs to the normal and the sweep page.
  const std::vector<int> pages[] = {
      {3001, 3002, 440, 210, 501, 420, 421, 422, 423, 600, 900, 1200, 1201, 1202},
      {3001, 420, 421, 422, 423, 3003, 442, 502, 503, 504, 505, 1100},
      {3004, 443, 444, 601, 300, 506}};
  for (int tab : {0, 1, 2, 0}) {
    ASSERT_TRUE(run.SelectTab(tab)) << tab;
    for (const std::vector<int>& page : pages) {
      for (int id : page) {
        const bool shown = std::ranges::count(pages[tab], id) > 0;
        EXPECT_EQ(run.Visible(id), shown) << "tab " << tab << " control " << id;
        EXPECT_FALSE(shown && run.Enabled(id)) << "tab " << tab << " control " << id;
      }
    }
  }
}
