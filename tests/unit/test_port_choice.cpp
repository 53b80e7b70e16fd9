#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/port_choice.h"

TEST(PortChoice, OpeningTheDialogListsSelectsAndTakesThePort) {
  const std::string too_long = "COM" + std::string(97, '9');
  struct {
    std::vector<std::string> enumerated;
    const char* stored;
    std::vector<std::string> listed;
    int selected;
    const char* taken;
  } cases[] = {
      {{"COM3", "COM7"}, "COM7", {"COM3", "COM7"}, 1, "COM7"},
      {{"COM3"}, "COM5", {"COM3"}, 0, "COM3"},                     // not listed: the first item
      {{"COM10", "COM1"}, "COM1", {"COM10", "COM1"}, 1, "COM1"},   // itself before a longer name
      {{"COM10", "COM1"}, "com1", {"COM10", "COM1"}, 1, "COM1"},   // exact but for case
      {{"COM3", "COM12"}, "COM1", {"COM3", "COM12"}, 1, "COM12"},  // no exact match: a prefix
      {{"COM2", "COM4"}, "com4", {"COM2", "COM4"}, 1, "COM4"},     // the listed text is taken
      {{}, "COM5", {"なし"}, -1, "COM5"},                          // none, and the name stays
      {{too_long, "COM8"}, "COM1", {"COM8"}, 0, "COM8"},  // names that do not fit are left out
      {{too_long}, "COM1", {"なし"}, -1, "COM1"},
      // Only names that begin with a capital COM are taken.
      {{"LPT1"}, "COM1", {"LPT1"}, 0, "COM1"},
      {{"com9"}, "COM1", {"com9"}, 0, "COM1"},
  };
  for (const auto& c : cases) {
    char com_port[kPortNameSize];
    std::strcpy(com_port, c.stored);
    PortList list = MakePortList(c.enumerated);
    SelectStoredPort(&list, com_port);
    if (list.selected >= 0) TakePortName(list.items[list.selected].c_str(), com_port);
    EXPECT_EQ(list.items, c.listed) << c.stored;
    EXPECT_EQ(list.selected, c.selected) << c.stored;
    EXPECT_STREQ(com_port, c.taken);
  }
  // Picked from an empty list, the placeholder is no port name.
  char com_port[kPortNameSize] = "COM1";
  EXPECT_FALSE(TakePortName("なし", com_port));
}
