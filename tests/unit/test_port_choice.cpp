#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/port_choice.h"

namespace {

// What opening the dialog does with the stored name: list, select, take.
struct Opened {
  PortList list;
  std::string com_port;
};

Opened Open(const std::vector<std::string>& enumerated, const char* stored) {
  char com_port[kPortNameSize];
  std::strcpy(com_port, stored);
  PortList list = MakePortList(enumerated);
  SelectStoredPort(&list, com_port);
  if (list.selected >= 0) TakePortName(list.items[list.selected].c_str(), com_port);
  return {list, com_port};
}

TEST(PortChoice, StoredPortIsSelectedWhenListed) {
  Opened opened = Open({"COM3", "COM7"}, "COM7");
  EXPECT_EQ(opened.list.items, (std::vector<std::string>{"COM3", "COM7"}));
  EXPECT_EQ(opened.list.selected, 1);
  EXPECT_EQ(opened.com_port, "COM7");
}

TEST(PortChoice, UnlistedStoredPortGivesWayToTheFirstItem) {
  Opened opened = Open({"COM3"}, "COM5");
  EXPECT_EQ(opened.list.selected, 0);
  EXPECT_EQ(opened.com_port, "COM3");
}

TEST(PortChoice, MatchIsByPrefixFromTheTop) {
  Opened opened = Open({"COM10", "COM1"}, "COM1");
  EXPECT_EQ(opened.list.selected, 0);
  EXPECT_EQ(opened.com_port, "COM10");
}

TEST(PortChoice, SmallLettersMatchAndTakeTheListedText) {
  Opened opened = Open({"COM2", "COM4"}, "com4");
  EXPECT_EQ(opened.list.selected, 1);
  EXPECT_EQ(opened.com_port, "COM4");
}

TEST(PortChoice, EmptyListShowsNoneAndKeepsTheStoredName) {
  Opened opened = Open({}, "COM5");
  EXPECT_EQ(opened.list.items, std::vector<std::string>{"なし"});
  EXPECT_EQ(opened.list.selected, -1);
  EXPECT_EQ(opened.com_port, "COM5");
  // Even selected, "なし" is no port name.
  char com_port[kPortNameSize] = "COM5";
  EXPECT_FALSE(TakePortName("なし", com_port));
  EXPECT_STREQ(com_port, "COM5");
}

TEST(PortChoice, NamesThatDoNotFitAreLeftOut) {
  std::string too_long = "COM" + std::string(97, '9');
  Opened opened = Open({too_long, "COM8"}, "COM1");
  EXPECT_EQ(opened.list.items, std::vector<std::string>{"COM8"});
  EXPECT_EQ(opened.com_port, "COM8");
  EXPECT_EQ(Open({too_long}, "COM1").list.items, std::vector<std::string>{"なし"});
}

TEST(PortChoice, OnlyNamesBeginningWithCapitalComAreTaken) {
  char com_port[kPortNameSize] = "COM1";
  EXPECT_FALSE(TakePortName("com9", com_port));
  EXPECT_FALSE(TakePortName("LPT1", com_port));
  EXPECT_TRUE(TakePortName("COM9", com_port));
  EXPECT_STREQ(com_port, "COM9");
}

}  // namespace
