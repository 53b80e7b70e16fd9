#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/unit/memory_profile_store.h"

namespace {

using Texts = std::vector<std::string>;

// What the program holds, as it saves it.
MemoryProfile Saved() {
  MemoryProfile saved;
  saved.SaveAll();
  return saved;
}

TEST(ConfigFile, FirstStartWritesAllKeysWithDefaultsInOrderAndTheirFileLoadsWithoutWrites) {
  MemoryProfile file;
  file.Load();
  EXPECT_EQ(
      file.Text(),
      "[IF]\ntype=0\ncom=COM1\nip=3232236545\nport=10101\n"
      "[OUTPUT]\ntype=0\nrepch=0\nrepchk=0\nrepnum=1\n"
      "[OUTPUT_CONF0]\nvalue=0.00\nsweep_a=-100.00\nsweep_b=100.00\nsweep_t1=500\nsweep_t2=500\n"
      "[OUTPUT_CONF1]\nvalue=0.00\nsweep_a=-10.00\nsweep_b=10.00\nsweep_t1=500\nsweep_t2=500\n"
      "[OUTPUT_CONF2]\nvalue=0.00\nsweep_a=0.00\nsweep_b=20.00\nsweep_t1=500\nsweep_t2=500\n"
      "[OUTPUT_CONF3]\nvalue=0.00\nsweep_a=0.00\nsweep_b=20.00\nsweep_t1=500\nsweep_t2=500\n");
  EXPECT_EQ(file.writes.size(), 28u);
  file.writes.clear();
  file.Load();
  EXPECT_EQ(file.writes, Texts{});
}

TEST(ConfigFile, EachKeyKeepsAUsableValueAndHasAnUnusableOneRewrittenWithItsDefault) {
  // A port name that does not fit could name another port if cut; -1 is
  // compared as unsigned; "yes" is there, though no number; one time of a
  // sweep may be 0.
  const std::string longest(99, 'C'), too_long(100, 'C');
  struct Case {
    const char *section, *key;
    std::string text, held;  // held: as the program saves it
    bool rewritten;          // with the default, at once
  } cases[] = {{"IF", "type", "1", "1", false},
               {"IF", "type", "2", "0", true},
               {"IF", "com", "com12", "com12", false},
               {"IF", "com", "", "COM1", true},
               {"IF", "ip", "2130706433", "2130706433", false},
               {"IF", "ip", "0", "3232236545", true},
               {"IF", "port", "65535", "65535", false},
               {"IF", "port", "", "10101", true},
               {"IF", "port", "0", "10101", true},
               {"IF", "port", "65536", "10101", true},
               {"IF", "port", "75637", "10101", true},
               {"IF", "port", "-1", "10101", true},
               {"OUTPUT", "type", "3", "3", false},
               {"OUTPUT", "type", "-1", "0", true},
               {"OUTPUT", "repch", "4", "4", false},
               {"OUTPUT", "repch", "5", "0", true},
               {"OUTPUT", "repchk", "5", "1", false},
               {"OUTPUT", "repchk", "yes", "0", false},
               {"OUTPUT", "repnum", "65535", "65535", false},
               {"OUTPUT", "repnum", "none", "1", true},
               {"OUTPUT_CONF2", "value", "12.5mA", "12.500000", false},
               {"OUTPUT_CONF3", "sweep_a", "-3", "-3.000000", false},
               {"OUTPUT_CONF0", "sweep_a", "abc", "0.000000", false},
               {"OUTPUT_CONF0", "sweep_b", "inf", "0.000000", false},
               {"OUTPUT_CONF3", "sweep_t2", "60000", "60000", false},
               {"OUTPUT_CONF1", "sweep_t1", "0", "0", false},
               {"OUTPUT_CONF1", "sweep_t2", "", "500", true},
               {"OUTPUT_CONF2", "sweep_t1", "soon", "500", true},
               {"IF", "com", longest, longest, false},
               {"IF", "com", too_long, "COM1", true}};
  for (const Case& c : cases) {
    const std::string key = std::string(c.section) + "/" + c.key + "=";
    SCOPED_TRACE(key + c.text);
    MemoryProfile file;
    file.Load();
    file.Set(c.section, c.key, c.text);
    file.writes.clear();
    file.Load();
    EXPECT_EQ(Saved().Find(c.section, c.key)->value, c.held);
    EXPECT_EQ(file.writes, c.rewritten ? Texts{key + c.held} : Texts{});
  }
}

TEST(ConfigFile, SavingWritesEachItemInOrderWithSixDecimalsUnlessThatChangesTheNumber) {
  ResetConnectionSettings();
  ResetOutputSettings();
  output_settings.replay_endless = true;
  output_settings.output_value[1] = 2.5;
  output_settings.output_value[2] = 0.1234567;
  output_settings.sweep[3].a = 1e300;
  Texts expected = {"IF/type=0", "IF/com=COM1", "IF/ip=3232236545", "IF/port=10101",
                    "OUTPUT/type=0"};
  auto each_section = [&](const char* key, std::vector<const char*> values) {
    for (int n = 0; n < 4; ++n)
      expected.push_back("OUTPUT_CONF" + std::to_string(n) + "/" + key + "=" + values[n]);
  };
  each_section("value", {"0.000000", "2.500000", "0.1234567", "0.000000"});
  each_section("sweep_a", {"-100.000000", "-10.000000", "0.000000", "1e+300"});
  each_section("sweep_b", {"100.000000", "10.000000", "20.000000", "20.000000"});
  each_section("sweep_t1", {"500", "500", "500", "500"});
  each_section("sweep_t2", {"500", "500", "500", "500"});
  expected.insert(expected.end(), {"OUTPUT/repch=0", "OUTPUT/repchk=1", "OUTPUT/repnum=1"});
  EXPECT_EQ(Saved().writes, expected);
}

TEST(ConfigNumbers, LeadingNumbersOfTexts) {
  struct {
    const char* text;
    bool found;
    uint32_t value;
  } profile[] = {{" 42abc", true, 42},
                 {"-1", true, 4294967295u},
                 {"4294967296", true, 0},
                 {"x1", false, 0},
                 {"-", false, 0}};  // 2^32 wraps, with no overflow trap
  for (const auto& c : profile) {
    uint32_t value = 99;
    EXPECT_EQ(ParseProfileInteger(c.text, &value), c.found) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
  struct {
    const char* text;
    int32_t value;
  } integers[] = {{"  -17x", -17},
                  {"99999999999999999999", INT_MAX},
                  {"-99999999999999999999", INT_MIN},
                  {"abc", 0}};
  for (const auto& c : integers) EXPECT_EQ(TextToInteger(c.text), c.value) << c.text;
  struct {
    const char* text;
    double value;
  } reals[] = {{"-2.5V", -2.5}, {".5", 0.5}, {"+1e2", 100}, {"1e999", 0}, {"nan", 0}, {"0x10", 0}};
  for (const auto& c : reals) EXPECT_EQ(TextToReal(c.text), c.value) << c.text;
}

}  // namespace
