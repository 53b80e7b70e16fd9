#include <gtest/gtest.h>

#include "settings/config_file.h"

namespace {

TEST(ProfileSection, FindsAValueAsTheOneKeyReadWould) {
  const std::vector<std::string> entries = {
      "comment without equals",
      "Type = 1 ",
      "type=2",
      "com=\"COM 3\"",
      "ip='12'",
      "port=\"7'",
      "repnum=",
  };
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
