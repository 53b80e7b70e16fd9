// Start-up, the first window, the tabs and the two ways out.
#include <algorithm>

#include "tests/e2e/scenario.h"

using namespace e2e;

namespace {

// What the first start writes into an empty directory, in the file's order
// (ip is the instrument's own access point address).
const char kFirstStartText[] =
    "[IF]\ntype=0\ncom=COM1\nip=3232236545\nport=10101\n"
    "[OUTPUT]\ntype=0\nrepch=0\nrepchk=0\nrepnum=1\n"
    "[OUTPUT_CONF0]\nvalue=0.00\nsweep_a=-100.00\nsweep_b=100.00\nsweep_t1=500\nsweep_t2=500\n"
    "[OUTPUT_CONF1]\nvalue=0.00\nsweep_a=-10.00\nsweep_b=10.00\nsweep_t1=500\nsweep_t2=500\n"
    "[OUTPUT_CONF2]\nvalue=0.00\nsweep_a=0.00\nsweep_b=20.00\nsweep_t1=500\nsweep_t2=500\n"
    "[OUTPUT_CONF3]\nvalue=0.00\nsweep_a=0.00\nsweep_b=20.00\nsweep_t1=500\nsweep_t2=500\n";

// The file's lines without carriage returns and blank lines.
std::string Lines(const std::string& text) {
  std::string lines;
  for (char c : text) {
    if (c == '\r' || (c == '\n' && (lines.empty() || lines.back() == '\n'))) continue;
    lines += c;
  }
  return lines;
}

// Ends the program the given way and expects exit code 0.
void EndProgram(ProgramRun& run, bool by_menu) {
  if (by_menu) {
    MenuCommand(run, 100);
  } else {
    CloseWindow(run);
  }
  EXPECT_TRUE(ExitsWithZero(run));
}

void ExpectNormalPageControls(const ProgramRun& run, bool visible) {
  for (int id : {3001, 3002, 440, 210, 501, 420, 421, 422, 423, 600, 900, 1200, 1201, 1202}) {
    EXPECT_EQ(IsVisible(run, id), visible) << "control " << id;
    EXPECT_FALSE(IsEnabled(run, id)) << "control " << id;
  }
}

}  // namespace

TEST(Startup, FirstStartWritesEveryDefaultAndExitRewritesRealsWithSixDecimals) {
  ProgramRun run;
  ASSERT_TRUE(Started(run, nullptr));
  EXPECT_EQ(Lines(ConfigText(run)), kFirstStartText);

  EndProgram(run, true);
  const std::string saved = ConfigText(run);
  EXPECT_EQ(IniSections(saved), IniSections(kFirstStartText));
  EXPECT_EQ(IniValue(saved, "OUTPUT_CONF0", "value"), "0.000000");
  EXPECT_EQ(IniValue(saved, "OUTPUT_CONF0", "sweep_a"), "-100.000000");
  EXPECT_EQ(IniValue(saved, "OUTPUT_CONF3", "sweep_b"), "20.000000");
  EXPECT_EQ(IniValue(saved, "OUTPUT_CONF1", "sweep_t2"), "500");
  EXPECT_EQ(IniValue(saved, "OUTPUT", "repnum"), "1");
  EXPECT_EQ(IniValue(saved, "IF", "port"), "10101");  // connection items are left alone
}

TEST(Startup, UnusableValuesLoadAsDefaultsAndAreRewritten) {
  ProgramRun run;
  const char* config =
      "[IF]\r\ntype=2\r\ncom=COM1\r\nip=2130706433\r\nport=75637\r\n"
      "[OUTPUT]\r\ntype=4\r\nrepch=5\r\nrepchk=0\r\nrepnum=0\r\n";
  ASSERT_TRUE(Started(run, config));
  const std::string text = ConfigText(run);
  EXPECT_EQ(IniValue(text, "IF", "type"), "0");
  EXPECT_EQ(IniValue(text, "IF", "port"), "10101");
  EXPECT_EQ(IniValue(text, "IF", "ip"), "2130706433");  // usable, kept
  EXPECT_EQ(IniValue(text, "OUTPUT", "type"), "0");
  EXPECT_EQ(IniValue(text, "OUTPUT", "repch"), "0");
  EXPECT_EQ(IniValue(text, "OUTPUT", "repnum"), "1");
  // And in memory: serial connection, output type 0, count 1.
  EXPECT_EQ(StatusText(run, 0), "USB接続(未接続)");
  EXPECT_EQ(Text(run, 202), "mV");
  EXPECT_EQ(CheckState(run, 420), BST_CHECKED);
  EXPECT_EQ(Text(run, 506), "1");
}

TEST(Startup, FirstWindowIsDisconnectedWithTheNormalPageShown) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  ProgramRun run;
  ASSERT_TRUE(Started(run, nullptr));

  EXPECT_EQ(Text(run.window), "RV-SOLA62");
  EXPECT_EQ(dpi, 96) << "the test prefix should run at 96 DPI";
  const RECT rect = WindowRect(run.window);
  EXPECT_EQ(rect.right - rect.left, dpi * 460 / 96);
  EXPECT_EQ(rect.bottom - rect.top, dpi * 660 / 96);
  EXPECT_EQ(Text(run, 201), "-------");
  EXPECT_EQ(Text(run, 202), "mV");
  EXPECT_EQ(Text(run, 203), "Mode: ---");
  EXPECT_EQ(Text(run, 204), "Type: ---");
  EXPECT_TRUE(IsEnabled(run, 400));
  EXPECT_TRUE(IsEnabled(run, 402));
  EXPECT_FALSE(IsEnabled(run, 401));
  EXPECT_FALSE(IsEnabled(run, 403));
  EXPECT_FALSE(IsEnabled(run, 441));
  EXPECT_EQ(Text(run, 400), "接続");
  EXPECT_EQ(StatusText(run, 0), "USB接続(未接続)");
  EXPECT_EQ(StatusText(run, 2), "");

  EXPECT_EQ(SelectedTab(run), 0);
  ExpectNormalPageControls(run, true);
  for (int id : {442, 502, 443, 506, 300}) EXPECT_FALSE(IsVisible(run, id)) << "control " << id;
  EXPECT_TRUE(NoDialogWithin(run, 200));
}

TEST(Startup, TabsSwitchPagesAndTheTypeGroupBelongsToNormalAndSweep) {
  ProgramRun run;
  ASSERT_TRUE(Started(run, nullptr));

  ASSERT_TRUE(SelectTab(run, 1));
  for (int id : {3001, 420, 421, 422, 423, 3003, 442, 502, 503, 504, 505, 1100}) {
    EXPECT_TRUE(IsVisible(run, id)) << "sweep page control " << id;
  }
  for (int id : {442, 502, 420}) EXPECT_FALSE(IsEnabled(run, id)) << "control " << id;
  for (int id : {440, 501, 900, 1200, 443, 300}) EXPECT_FALSE(IsVisible(run, id)) << id;

  ASSERT_TRUE(SelectTab(run, 2));
  for (int id : {3004, 443, 444, 601, 300, 506}) {
    EXPECT_TRUE(IsVisible(run, id)) << "replay page control " << id;
    EXPECT_FALSE(IsEnabled(run, id)) << "control " << id;
  }
  for (int id : {3001, 420, 421, 422, 423, 442, 440}) EXPECT_FALSE(IsVisible(run, id)) << id;

  ASSERT_TRUE(SelectTab(run, 0));
  ExpectNormalPageControls(run, true);
  for (int id : {3003, 442, 443, 3004}) EXPECT_FALSE(IsVisible(run, id)) << id;
}

TEST(Startup, ConfiguredOutputTypeLabelsTheNormalPage) {
  ProgramRun run;
  ASSERT_TRUE(Started(run, "[OUTPUT]\r\ntype=1\r\n"));
  EXPECT_EQ(Text(run, 202), "V");
  EXPECT_EQ(Text(run, 210), "V");
  EXPECT_EQ(Text(run, 211), "-10V");
  EXPECT_EQ(Text(run, 212), "0V");
  EXPECT_EQ(Text(run, 213), "10V");
  EXPECT_EQ(Text(run, 214), "+1.0V");
  EXPECT_EQ(Text(run, 218), "-1.0V");
  EXPECT_EQ(Text(run, 234), "-0.01V");
  // 222, 226 and 230 are also label ids on the other pages.
  auto has = [](const std::vector<std::string>& texts, const char* text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  };
  EXPECT_TRUE(has(Texts(run, 222), "+0.1V"));
  EXPECT_TRUE(has(Texts(run, 226), "-0.1V"));
  EXPECT_TRUE(has(Texts(run, 230), "+0.01V"));
  EXPECT_EQ(Text(run, 501), "0.000");
  EXPECT_EQ(CheckState(run, 421), BST_CHECKED);
  for (int id : {420, 422, 423}) EXPECT_EQ(CheckState(run, id), BST_UNCHECKED) << id;
}

// Both ways out end with code 0 and save the page entries.
TEST(Startup, MenuExitAndCloseButtonBothSaveTheOutputSettings) {
  for (bool by_menu : {true, false}) {
    SCOPED_TRACE(by_menu ? "menu 100" : "close button");
    ProgramRun run;
    ASSERT_TRUE(Started(run, "[OUTPUT_CONF0]\r\nsweep_t1=7\r\n"));
    ASSERT_TRUE(SetText(run, 501, "1.25"));
    EndProgram(run, by_menu);
    const std::string saved = ConfigText(run);
    EXPECT_EQ(IniValue(saved, "OUTPUT_CONF0", "value"), "1.250000");
    EXPECT_EQ(IniValue(saved, "OUTPUT_CONF0", "sweep_t1"), "7");
    EXPECT_EQ(IniValue(saved, "OUTPUT_CONF0", "sweep_a"), "-100.000000");
  }
}
