#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "shell/status_text.h"

// The four usual texts are read off the status bar by the end-to-end scenarios.
TEST(StatusText, UnknownConnectionTypeNamesNoMethod) {
  for (int type : {-1, 2, 7, INT_MIN, INT_MAX}) {
    EXPECT_EQ(ConnectionText(type, false), "接続(未接続)") << type;
  }
}

TEST(StatusText, IdentityVersionDigitsAndWhenItIsEmpty) {
  EXPECT_EQ(IdentityText(true, 7, "00000000"), "F/W Ver 0.07 (S/N:00000000)");
  EXPECT_EQ(IdentityText(true, 1000, "A"), "F/W Ver 10.00 (S/N:A)");
  EXPECT_EQ(IdentityText(false, 105, "RS620042"), "");
  EXPECT_EQ(IdentityText(true, 0, "RS620042"), "");
  EXPECT_EQ(IdentityText(true, -5, "RS620042"), "");
}

TEST(StatusText, IdentityReadsAtMostEightSerialCharacters) {
  // A serial field without its terminator must not drag neighbouring bytes along.
  char unterminated[12] = {'1', '2', '3', '4', '5', '6', '7', '8', 'X', 'Y', 'Z', '\0'};
  EXPECT_EQ(IdentityText(true, 105, unterminated), "F/W Ver 1.05 (S/N:12345678)");
  EXPECT_EQ(IdentityText(true, 105, nullptr), "F/W Ver 1.05 (S/N:)");
}
