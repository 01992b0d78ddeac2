#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/store/Predicate.h"
#include "platform/store/StoreError.h"

namespace tilvane::store {
namespace {

TEST(PredicateTest, ParsesTheSupportedForms) {
  EXPECT_EQ(Predicate::parse("id = 'com.apple.Safari-0-1'"), Predicate::equals("id", "com.apple.Safari-0-1"));
  EXPECT_EQ(Predicate::parse("bundleIdentifier = 'com.x' AND windowID = 4242"),
            Predicate::equals("bundleIdentifier", "com.x").andEquals("windowID", 4242));
  EXPECT_EQ(Predicate::parse("  bundleIdentifier=='a b'  and  windowID = -1 && x = \"y\" "),
            Predicate::equals("bundleIdentifier", "a b").andEquals("windowID", -1).andEquals("x", "y"));
}

TEST(PredicateTest, EscapedQuotesRoundTripThroughTheTextForm) {
  const std::string value = R"(a'b"c\d)";
  const auto p = Predicate::equals("id", value);
  EXPECT_EQ(p.format(), R"(id = 'a\'b"c\\d')");
  EXPECT_EQ(Predicate::parse(p.format()), p);
}

TEST(PredicateTest, RejectsEverythingElse) {
  for (const char* text : {"", "id", "id =", "id = x", "id = 'open", "id != 'a'", "id = 'a' OR id = 'b'",
                           "id = 'a' AND", "id = 'a' ; DROP TABLE x", "id = 1.5", "id = 99999999999999999999",
                           "'a' = id", "id = 'a' id = 'b'", "id = '\\n'", "AND id = 'a'", "id = 12abc"}) {
    EXPECT_THROW(Predicate::parse(text), QueryError) << text;
  }
}

TEST(PredicateTest, ErrorNamesTheTextAndPosition) {
  EXPECT_THAT([] { Predicate::parse("id = 'a' OR id = 'b'"); },
              testing::ThrowsMessage<QueryError>(testing::AllOf(testing::HasSubstr("id = 'a' OR id = 'b'"),
                                                                testing::HasSubstr("position 9"))));
}

}  // namespace
}  // namespace tilvane::store
