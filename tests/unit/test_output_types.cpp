#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>  // atof: entry fields read "-0" this way
#include <limits>

#include "output/output_types.h"

TEST(OutputTypes, EncodeKnownCodesAndSaturateInsteadOfWrapping) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  const double minus_zero = std::atof("-0");
  struct {
    double value;
    int type, code;
  } cases[] = {{100, 0, 0x7FFF},   {-100, 0, 0x8000},   {0.1, 0, 0x0021},   {-0.1, 0, 0xFFDF},
               {0, 0, 0},          {-0.0, 0, 0},        {0.001, 0, 0},      {-0.001, 0, 0xFFFF},
               {10, 1, 0x7FFF},    {-10, 1, 0x8000},    {20, 2, 32767},     {10, 2, 16384},
               {4, 2, 6553},       {0, 3, 0},           {5, 4, 0},          {5, -1, 0},
               {100.5, 0, 0x7FFF}, {-100.5, 0, 0x8000}, {1e300, 1, 0x7FFF}, {-inf, 1, 0x8000},
               {-1e9, 2, 0x8000},  {nan, 0, 0},         {minus_zero, 0, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(EncodeOutputValue(c.value, c.type), c.code) << c.value << " type " << c.type;
}

TEST(OutputTypes, DecodeAndRoundTrip) {
  EXPECT_DOUBLE_EQ(DecodeOutputValue(0, 0x7FFF), 100.0);
  EXPECT_NEAR(DecodeOutputValue(0, static_cast<int16_t>(0x8000)), -100.0030518, 1e-7);
  EXPECT_NEAR(DecodeOutputValue(2, 16384), 10.0003052, 1e-7);
  EXPECT_NEAR(DecodeOutputValue(3, -16384), -10.0003052, 1e-7);
  EXPECT_EQ(DecodeOutputValue(4, 1000), 0.0);
  for (unsigned type = 0; type < 4; ++type)
    for (int code = 0; code <= 32767; ++code)
      ASSERT_EQ(EncodeOutputValue(DecodeOutputValue(type, static_cast<int16_t>(code)), type), code);
}

TEST(OutputTypes, NumericTextRangeAndTexts) {
  for (const char* good : {"", "-", ".", "-.", "12.", ".5", "-0.25", "0123"})
    EXPECT_TRUE(IsNumericText(good)) << good;
  for (const char* bad : {"1-2", "1.2.3", "+1", " 1", "1 ", "1e3", "１", "0x1", "--1"})
    EXPECT_FALSE(IsNumericText(bad)) << bad;
  EXPECT_FALSE(IsNumericText(nullptr));
  // The range includes both ends.
  EXPECT_TRUE(InOutputRange(-100, 0) && InOutputRange(100, 0) && InOutputRange(20, 3));
  EXPECT_FALSE(InOutputRange(100.001, 0) || InOutputRange(-0.001, 2) || InOutputRange(0, 4));
  EXPECT_FALSE(InOutputRange(std::nan(""), 1));
  EXPECT_EQ(ValueToText(95.0, 0), "95.00");
  EXPECT_EQ(ValueToText(-0.15, 1), "-0.150");
  EXPECT_EQ(ValueToText(1, 9), "-");
  EXPECT_EQ(RangeLabel(0, 0), "-100mV");
  EXPECT_EQ(RangeLabel(2, 1), "10mA");
  EXPECT_EQ(StepLabel(0, 0, false), "-10.0mV");
  EXPECT_EQ(StepLabel(0, 2, true), "+0.1mV");
}
