#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/defaults/Value.h"

namespace tilvane::defaults {
namespace {

constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
constexpr auto kInfinity = std::numeric_limits<double>::infinity();

TEST(DefaultsValue, IntegerFormsHaveNoUndefinedConversions) {
  const std::pair<Value, std::int64_t> cases[] = {
      {Value(true), 1},        {Value(2.9), 2},        {Value(-2.9), -2},          {Value(std::nan("")), 0},
      {Value(1e300), kMax},    {Value(-1e300), kMin},  {Value(kInfinity), kMax},   {Value(-9223372036854775808.0), kMin},
      {Value("42"), 42},       {Value("  -17px"), -17}, {Value("3.7"), 3},         {Value("abc"), 0},
      {Value("99999999999999999999"), kMax},           {Value("-9223372036854775808"), kMin},
      {Value("-99999999999999999999"), kMin},          {Value(Dictionary{}), 0}};
  for (const auto& [value, expected] : cases) EXPECT_EQ(value.integerValue(), expected) << value.stringValue().value_or("?");
}

TEST(DefaultsValue, RealAndTextFormsReadTheLeadingText) {
  EXPECT_DOUBLE_EQ(Value("+1e3x").doubleValue(), 1000.0);
  EXPECT_DOUBLE_EQ(Value(" -0.25").doubleValue(), -0.25);
  EXPECT_EQ(Value("1e999").doubleValue(), kInfinity);
  EXPECT_EQ(Value("1e-999").doubleValue(), 0.0);
  EXPECT_EQ(Value("none").doubleValue(), 0.0);
  EXPECT_EQ(Value(0.1).stringValue(), "0.1");
  EXPECT_EQ(Value(true).stringValue(), "1");
  EXPECT_EQ(Value(Array{Value(1)}).stringValue(), std::nullopt);
}

TEST(DefaultsValue, BooleanForms) {
  for (const Value& yes : {Value(2), Value(-1), Value(0.5), Value("YES"), Value("true"), Value("T"), Value("  +007"),
                          Value("9 lives")})
    EXPECT_TRUE(yes.boolValue()) << yes.stringValue().value_or("?");
  for (const Value& no : {Value(0), Value(0.0), Value("NO"), Value("false"), Value(""), Value("000"), Value("-0"),
                         Value("x"), Value(Data{1})})
    EXPECT_FALSE(no.boolValue()) << no.stringValue().value_or("?");
}

}  // namespace
}  // namespace tilvane::defaults
