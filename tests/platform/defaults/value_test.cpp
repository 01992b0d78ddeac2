#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/defaults/Value.h"

namespace tilvane::defaults {
namespace {

constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
constexpr auto kMin = std::numeric_limits<std::int64_t>::min();

TEST(DefaultsValue, BooleansAndIntegersReadAsEachOther) {
  EXPECT_TRUE(Value(std::int64_t{1}).boolValue());
  EXPECT_TRUE(Value(2).boolValue());
  EXPECT_TRUE(Value(-1).boolValue());
  EXPECT_FALSE(Value(0).boolValue());
  EXPECT_EQ(Value(true).integerValue(), 1);
  EXPECT_EQ(Value(false).integerValue(), 0);
  EXPECT_TRUE(Value(0.5).boolValue());
  EXPECT_FALSE(Value(0.0).boolValue());
}

TEST(DefaultsValue, RealsBecomeIntegersWithoutUndefinedConversions) {
  EXPECT_EQ(Value(2.9).integerValue(), 2);
  EXPECT_EQ(Value(-2.9).integerValue(), -2);
  EXPECT_EQ(Value(std::nan("")).integerValue(), 0);
  EXPECT_EQ(Value(1e300).integerValue(), kMax);
  EXPECT_EQ(Value(-1e300).integerValue(), kMin);
  EXPECT_EQ(Value(std::numeric_limits<double>::infinity()).integerValue(), kMax);
  EXPECT_EQ(Value(-9223372036854775808.0).integerValue(), kMin);
}

TEST(DefaultsValue, StringsReadAsNumbersByTheirLeadingText) {
  EXPECT_EQ(Value("42").integerValue(), 42);
  EXPECT_EQ(Value("  -17px").integerValue(), -17);
  EXPECT_EQ(Value("3.7").integerValue(), 3);
  EXPECT_EQ(Value("abc").integerValue(), 0);
  EXPECT_EQ(Value("99999999999999999999").integerValue(), kMax);
  EXPECT_EQ(Value("-9223372036854775808").integerValue(), kMin);
  EXPECT_EQ(Value("-99999999999999999999").integerValue(), kMin);

  EXPECT_DOUBLE_EQ(Value(" 2.5").doubleValue(), 2.5);
  EXPECT_DOUBLE_EQ(Value("+1e3x").doubleValue(), 1000.0);
  EXPECT_DOUBLE_EQ(Value("-0.25").doubleValue(), -0.25);
  EXPECT_EQ(Value("1e999").doubleValue(), std::numeric_limits<double>::infinity());
  EXPECT_EQ(Value("1e-999").doubleValue(), 0.0);
  EXPECT_EQ(Value("none").doubleValue(), 0.0);

  for (const char* yes : {"YES", "yes", "true", "T", "1", "  +007", "9 lives"}) EXPECT_TRUE(Value(yes).boolValue()) << yes;
  for (const char* no : {"NO", "false", "0", "", "000", "-0", "x"}) EXPECT_FALSE(Value(no).boolValue()) << no;
}

TEST(DefaultsValue, NumbersHaveATextFormAndContainersHaveNone) {
  EXPECT_EQ(Value(-5).stringValue(), "-5");
  EXPECT_EQ(Value(true).stringValue(), "1");
  EXPECT_EQ(Value(0.1).stringValue(), "0.1");
  EXPECT_EQ(Value("read").stringValue(), "read");
  EXPECT_EQ(Value(Data{1, 2}).stringValue(), std::nullopt);
  EXPECT_EQ(Value(Array{Value(1)}).stringValue(), std::nullopt);
  EXPECT_EQ(Value(Dictionary{}).integerValue(), 0);
  EXPECT_FALSE(Value(Data{1}).boolValue());
}

}  // namespace
}  // namespace tilvane::defaults
