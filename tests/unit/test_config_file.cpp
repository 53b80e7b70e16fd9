#include <gtest/gtest.h>

#include <climits>
#include <regex>
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

TEST(ConfigFile, FirstStartWritesAllKeysWithDefaultsInOrderAndASaveLaysThemOutTheSame) {
  const std::string text =
      "[IF]\ntype=0\ncom=COM1\nip=3232236545\nport=10101\n"
      "[OUTPUT]\ntype=0\nrepch=0\nrepchk=0\nrepnum=1\n"
      "[OUTPUT_CONF0]\nvalue=0.00\nsweep_a=-100.00\nsweep_b=100.00\nsweep_t1=500\nsweep_t2=500\n"
      "[OUTPUT_CONF1]\nvalue=0.00\nsweep_a=-10.00\nsweep_b=10.00\nsweep_t1=500\nsweep_t2=500\n"
      "[OUTPUT_CONF2]\nvalue=0.00\nsweep_a=0.00\nsweep_b=20.00\nsweep_t1=500\nsweep_t2=500\n"
      "[OUTPUT_CONF3]\nvalue=0.00\nsweep_a=0.00\nsweep_b=20.00\nsweep_t1=500\nsweep_t2=500\n";
  MemoryProfile file;
  file.Load();
  EXPECT_EQ(file.Text(), text);
  EXPECT_EQ(file.writes.size(), 28u);
  // Into an empty file, with reals in six decimals.
  EXPECT_EQ(Saved().Text(), std::regex_replace(text, std::regex("\\.00\n"), ".000000\n"));
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
               {"IF", "port", " 42abc", "42", false},                   // the leading number
               {"IF", "ip", "-1", "4294967295", false},                 // '-' wraps around
               {"OUTPUT_CONF0", "sweep_t1", "4294967296", "0", false},  // so does 2^32
               {"OUTPUT_CONF0", "sweep_t2", "-", "500", true},
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
               // Saved longer where six decimals would change the number.
               {"OUTPUT_CONF2", "value", "0.1234567", "0.1234567", false},
               {"OUTPUT_CONF3", "sweep_a", "1e300", "1e+300", false},
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

TEST(ConfigNumbers, LeadingNumbersOfTextsClampedOrNone) {
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

TEST(ConfigFile, ASectionsEntriesGiveAKeyAsTheOneKeyReadWould) {
  const std::vector<std::string> entries = {"comment without equals",
                                            "Type = 1 ",
                                            "type=2",
                                            "com=\"COM 3\"",
                                            "ip='12'",
                                            "port=\"7'",
                                            "repnum="};
  const struct {
    const char* key;
    bool found;
    const char* value;
  } rows[] = {
      {"type", true, "1"},     // letter case ignored, blanks dropped, the first one wins
      {"com", true, "COM 3"},  // one pair of quotes removed
      {"ip", true, "12"},      // single quotes as well
      {"port", true, "\"7'"},  // quotes that do not pair stay
      {"repnum", true, ""},    // present but empty
      {"repch", false, ""},    // missing
      {"comment without equals", false, ""},
  };
  for (const auto& row : rows) {
    std::string value;
    EXPECT_EQ(FindSectionValue(entries, row.key, &value), row.found) << row.key;
    EXPECT_EQ(value, row.value) << row.key;
  }
}

}  // namespace
