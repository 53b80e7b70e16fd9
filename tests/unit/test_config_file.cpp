#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/config_file.h"
#include "settings/settings_records.h"
#include "tests/unit/memory_profile_store.h"

namespace {

class ConfigFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetConnectionSettings();
    ResetOutputSettings();
  }
  void TearDown() override {
    ResetConnectionSettings();
    ResetOutputSettings();
  }
  MemoryProfile file;
};

const char* const kFirstStartText =
    "[IF]\ntype=0\ncom=COM1\nip=3232236545\nport=10101\n"
    "[OUTPUT]\ntype=0\nrepch=0\nrepchk=0\nrepnum=1\n"
    "[OUTPUT_CONF0]\nvalue=0.00\nsweep_a=-100.00\nsweep_b=100.00\nsweep_t1=500\nsweep_t2=500\n"
    "[OUTPUT_CONF1]\nvalue=0.00\nsweep_a=-10.00\nsweep_b=10.00\nsweep_t1=500\nsweep_t2=500\n"
    "[OUTPUT_CONF2]\nvalue=0.00\nsweep_a=0.00\nsweep_b=20.00\nsweep_t1=500\nsweep_t2=500\n"
    "[OUTPUT_CONF3]\nvalue=0.00\nsweep_a=0.00\nsweep_b=20.00\nsweep_t1=500\nsweep_t2=500\n";

TEST_F(ConfigFile, FirstStartWritesAllKeysWithDefaultsInOrder) {
  LoadSettingsFrom(file.Store());
  EXPECT_EQ(file.Text(), kFirstStartText);
  EXPECT_EQ(file.writes.size(), 28u);
  EXPECT_STREQ(connection_settings.com_port, "COM1");
  EXPECT_EQ(output_settings.sweep[0].a, -100.0);

  // The file it wrote loads again without a single write.
  file.writes.clear();
  LoadSettingsFrom(file.Store());
  EXPECT_TRUE(file.writes.empty());
  EXPECT_EQ(file.Text(), kFirstStartText);
}

TEST_F(ConfigFile, UsableValuesLoadWithoutWrites) {
  LoadSettingsFrom(file.Store());  // a complete file
  auto store = file.Store();
  file.Set("IF", "type", "1");
  file.Set("IF", "com", "com12");
  file.Set("IF", "ip", "2130706433");
  file.Set("IF", "port", "65535");
  file.Set("OUTPUT", "type", "3");
  file.Set("OUTPUT", "repch", "4");
  file.Set("OUTPUT", "repchk", "5");
  file.Set("OUTPUT", "repnum", "65535");
  file.Set("OUTPUT_CONF2", "value", "12.5mA");
  file.Set("OUTPUT_CONF3", "sweep_a", "-3");
  file.Set("OUTPUT_CONF3", "sweep_t2", "60000");
  file.writes.clear();
  ResetConnectionSettings();
  ResetOutputSettings();

  LoadSettingsFrom(store);
  EXPECT_TRUE(file.writes.empty());
  EXPECT_EQ(connection_settings.connection_type, 1);
  EXPECT_STREQ(connection_settings.com_port, "com12");
  EXPECT_EQ(connection_settings.ip_address, 2130706433u);
  EXPECT_EQ(connection_settings.tcp_port, 65535u);
  EXPECT_EQ(output_settings.output_type, 3);
  EXPECT_EQ(output_settings.replay_channel, 4);
  EXPECT_TRUE(output_settings.replay_endless);
  EXPECT_EQ(output_settings.replay_count, 65535u);
  EXPECT_EQ(output_settings.output_value[2], 12.5);
  EXPECT_EQ(output_settings.sweep[3].a, -3.0);
  EXPECT_EQ(output_settings.sweep[3].t2, 60000u);
}

TEST_F(ConfigFile, UnusableIntegersAreReplacedByTheirDefaults) {
  file.Set("IF", "type", "2");
  file.Set("IF", "com", "");
  file.Set("IF", "ip", "0");
  file.Set("IF", "port", "");
  file.Set("OUTPUT", "type", "-1");  // compared as unsigned
  file.Set("OUTPUT", "repch", "5");
  file.Set("OUTPUT", "repchk", "0");
  file.Set("OUTPUT", "repnum", "none");
  LoadSettingsFrom(file.Store());

  std::vector<std::string> first(file.writes.begin(), file.writes.begin() + 7);
  EXPECT_EQ(first, (std::vector<std::string>{"IF/type=0", "IF/com=COM1", "IF/ip=3232236545",
                                             "IF/port=10101", "OUTPUT/type=0", "OUTPUT/repch=0",
                                             "OUTPUT/repnum=1"}));
  EXPECT_EQ(connection_settings.connection_type, 0);
  EXPECT_EQ(connection_settings.ip_address, kDefaultIpAddress);
  EXPECT_EQ(connection_settings.tcp_port, kDefaultTcpPort);
  EXPECT_EQ(output_settings.output_type, 0);
  EXPECT_EQ(output_settings.replay_count, 1u);

  // A port that does not fit 16 bits is as unusable as none.
  for (const char* port : {"0", "65536", "75637", "-1"}) {
    file.Set("IF", "port", port);
    file.writes.clear();
    ResetConnectionSettings();
    LoadSettingsFrom(file.Store());
    EXPECT_EQ(connection_settings.tcp_port, kDefaultTcpPort) << port;
    EXPECT_EQ(file.writes, std::vector<std::string>{"IF/port=10101"}) << port;
  }
}

TEST_F(ConfigFile, SweepTimeOfZeroIsKeptButMissingOrNonNumericGets500) {
  LoadSettingsFrom(file.Store());
  file.Set("OUTPUT_CONF1", "sweep_t1", "0");
  file.Set("OUTPUT_CONF1", "sweep_t2", "");
  file.Set("OUTPUT_CONF2", "sweep_t1", "soon");
  file.writes.clear();
  ResetOutputSettings();

  LoadSettingsFrom(file.Store());
  EXPECT_EQ(output_settings.sweep[1].t1, 0u);
  EXPECT_EQ(output_settings.sweep[1].t2, 500u);
  EXPECT_EQ(output_settings.sweep[2].t1, 500u);
  EXPECT_EQ(file.writes,
            (std::vector<std::string>{"OUTPUT_CONF1/sweep_t2=500", "OUTPUT_CONF2/sweep_t1=500"}));
}

TEST_F(ConfigFile, TextsThatHoldNoNumberArePresentAndNotRewritten) {
  LoadSettingsFrom(file.Store());
  file.Set("OUTPUT_CONF0", "value", "abc");
  file.Set("OUTPUT_CONF0", "sweep_b", "inf");
  file.Set("OUTPUT", "repchk", "yes");
  file.writes.clear();
  output_settings.output_value[0] = 7.0;
  output_settings.replay_endless = true;

  LoadSettingsFrom(file.Store());
  EXPECT_TRUE(file.writes.empty());
  EXPECT_EQ(output_settings.output_value[0], 0.0);
  EXPECT_EQ(output_settings.sweep[0].b, 0.0);
  EXPECT_FALSE(output_settings.replay_endless);
}

TEST_F(ConfigFile, PortNameThatDoesNotFitIsUnusable) {
  std::string longest(99, 'C');
  file.Set("IF", "com", longest.c_str());
  LoadSettingsFrom(file.Store());
  EXPECT_EQ(std::string(connection_settings.com_port), longest);

  ResetConnectionSettings();
  std::string too_long(100, 'C');
  file.Set("IF", "com", too_long.c_str());
  file.writes.clear();
  LoadSettingsFrom(file.Store());
  EXPECT_STREQ(connection_settings.com_port, "COM1");
  EXPECT_EQ(file.writes, std::vector<std::string>{"IF/com=COM1"});
}

TEST_F(ConfigFile, SavingTheOutputItemsWritesSixDecimalsUnlessThatLosesTheValue) {
  LoadSettingsFrom(file.Store());
  file.writes.clear();
  output_settings.replay_endless = true;
  output_settings.output_value[1] = 2.5;
  // Six decimals would lose these: they are kept whole.
  output_settings.output_value[2] = 0.1234567;
  output_settings.sweep[3].a = 1e300;
  SaveOutputItemsTo(file.Store());

  std::vector<std::string> expected = {"OUTPUT/type=0"};
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
  EXPECT_EQ(file.writes, expected);
}

TEST_F(ConfigFile, ConnectionItemsSaveOneKeyEach) {
  connection_settings.connection_type = 1;
  std::strcpy(connection_settings.com_port, "COM7");
  connection_settings.ip_address = 0;
  connection_settings.tcp_port = 0;
  for (SettingItem item : kConnectionItems) SaveSettingTo(file.Store(), item);
  EXPECT_EQ(file.Text(), "[IF]\ntype=1\ncom=COM7\nip=0\nport=0\n");

  // Zero address and port are replaced at the next start.
  ResetConnectionSettings();
  file.writes.clear();
  LoadSettingsFrom(file.Store());
  EXPECT_EQ(std::vector<std::string>(file.writes.begin(), file.writes.begin() + 2),
            (std::vector<std::string>{"IF/ip=3232236545", "IF/port=10101"}));
  EXPECT_EQ(connection_settings.connection_type, 1);
  EXPECT_STREQ(connection_settings.com_port, "COM7");
}

TEST(ConfigNumbers, ProfileIntegerTakesTheLeadingNumberAsUnsigned) {
  uint32_t value = 99;
  EXPECT_TRUE(ParseProfileInteger(" 42abc", &value));
  EXPECT_EQ(value, 42u);
  EXPECT_TRUE(ParseProfileInteger("-1", &value));
  EXPECT_EQ(value, 4294967295u);
  EXPECT_TRUE(ParseProfileInteger("4294967296", &value));  // wraps, no overflow trap
  EXPECT_EQ(value, 0u);
  EXPECT_FALSE(ParseProfileInteger("x1", &value));
  EXPECT_EQ(value, 0u);
  EXPECT_FALSE(ParseProfileInteger("-", &value));
}

TEST(ConfigNumbers, TextConversionsTakeTheLeadingNumberSafely) {
  EXPECT_EQ(TextToInteger("  -17x"), -17);
  EXPECT_EQ(TextToInteger("99999999999999999999"), 2147483647);
  EXPECT_EQ(TextToInteger("-99999999999999999999"), -2147483647 - 1);
  EXPECT_EQ(TextToInteger("abc"), 0);
  EXPECT_EQ(TextToReal("-2.5V"), -2.5);
  EXPECT_EQ(TextToReal(".5"), 0.5);
  EXPECT_EQ(TextToReal("+1e2"), 100.0);
  EXPECT_EQ(TextToReal("1e999"), 0.0);
  EXPECT_EQ(TextToReal("nan"), 0.0);
  EXPECT_EQ(TextToReal("0x10"), 0.0);
}

}  // namespace
