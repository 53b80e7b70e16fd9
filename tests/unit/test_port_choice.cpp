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

TEST(PortChoice, StoredPortSelectsItselfThenTheFirstPrefixMatchOrGivesWayToTheFirstItem) {
  struct Case {
    std::vector<std::string> enumerated;
    const char* stored;
    int selected;
    const char* taken;
  };
  const Case cases[] = {
      {{"COM3", "COM7"}, "COM7", 1, "COM7"},   {{"COM3"}, "COM5", 0, "COM3"},  // not listed
      {{"COM10", "COM1"}, "COM1", 1, "COM1"},   // the port itself before a longer name
      {{"COM10", "COM1"}, "com1", 1, "COM1"},   // exact but for case
      {{"COM3", "COM12"}, "COM1", 1, "COM12"},  // no exact match: the prefix rule
      {{"COM2", "COM4"}, "com4", 1, "COM4"},    // small letters; the listed text is taken
  };
  for (const Case& c : cases) {
    Opened opened = Open(c.enumerated, c.stored);
    EXPECT_EQ(opened.list.items, c.enumerated);
    EXPECT_EQ(opened.list.selected, c.selected) << c.stored;
    EXPECT_EQ(opened.com_port, c.taken) << c.stored;
  }
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
