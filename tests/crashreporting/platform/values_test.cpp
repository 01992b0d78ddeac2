#include <gtest/gtest.h>
#include <plist/plist.h>

#include <limits>

#include "crashreporting/platform/Json.h"
#include "crashreporting/platform/PropertyList.h"
#include "crashreporting/platform/Sha1.h"

namespace crashreporting {
namespace {

Value sample() {
  return Value(Dictionary{
      {"max", Value(std::numeric_limits<std::int64_t>::max())},
      {"min", Value(std::numeric_limits<std::int64_t>::min())},
      {"yes", Value(true)},
      {"tenth", Value(0.1)},
      {"text", Value("a<b & \"c\" \xC3\xA9")},
      {"list", Value(Array{Value(1), Value("two"), Value(Array{})})},
      {"nested", Value(Dictionary{{"KitName", Value("Vizuzod")}})},
  });
}

TEST(PropertyListTest, EveryKindReadsBackUnchangedFromXmlAndTheBinaryFormIsRead) {
  Dictionary withData = *sample().get<Dictionary>();
  withData.emplace("bytes", Value(Data{0, 1, 0, 255}));
  std::string error;
  const auto xml = plist::encodeXml(withData, error);
  ASSERT_TRUE(xml) << error;
  EXPECT_EQ(plist::decodeDictionary(*xml, error), withData);

  // The binary form, as another program writes it.
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "a", plist_new_bool(1));
  plist_dict_set_item(root, "n", plist_new_uint(7));
  char* bin = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root, &bin, &length);
  const std::string binary(bin, length);
  plist_to_bin_free(bin);
  plist_free(root);
  ASSERT_EQ(binary.substr(0, 6), "bplist");
  EXPECT_EQ(plist::decodeDictionary(binary, error), (Dictionary{{"a", Value(true)}, {"n", Value(7)}})) << error;
}

TEST(PropertyListTest, RefusesWhatIsNoListOrCannotBeOne) {
  std::string error;
  EXPECT_FALSE(plist::decodeDictionary("", error));
  EXPECT_FALSE(plist::decodeDictionary("<plist><array/></plist>", error));
  EXPECT_FALSE(plist::decodeDictionary("not a list", error));
  std::string deep;
  for (int i = 0; i < 500; ++i) deep += "<array>";
  for (int i = 0; i < 500; ++i) deep += "</array>";
  EXPECT_FALSE(plist::decodeDictionary(
      std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>") + deep + "</dict></plist>",
      error));
  EXPECT_FALSE(plist::encodeXml(Dictionary{{"n", Value(Array{Value()})}}, error));
  // Bad UTF-8 is cleaned, so what was written always reads back.
  const auto xml = plist::encodeXml(Dictionary{{"k", Value("a\xFF")}}, error);
  ASSERT_TRUE(xml);
  EXPECT_EQ(plist::decodeDictionary(*xml, error), (Dictionary{{"k", Value("a\xEF\xBF\xBD")}}));
}

TEST(JsonTest, RoundTripsAndKeepsIntegersApartFromReals) {
  std::string error;
  const auto text = json::encode(sample(), error);
  ASSERT_TRUE(text) << error;
  EXPECT_EQ(json::decode(*text, error), sample());
  EXPECT_EQ(json::decode("[1, 1.5, null, 18446744073709551615]", error),
            Value(Array{Value(1), Value(1.5), Value(), Value(18446744073709551615.0)}));
}

TEST(JsonTest, RefusesBadTextDeepNestingDataAndNonFiniteReals) {
  std::string error;
  EXPECT_FALSE(json::decode("{\"a\":", error));
  EXPECT_FALSE(json::decode("\"\xFF\"", error));
  EXPECT_FALSE(json::decode(std::string(100000, '['), error));
  EXPECT_EQ(error, "nested too deeply");
  EXPECT_TRUE(json::decode("[\"[[[[\"]", error));  // brackets inside strings do not count
  EXPECT_FALSE(json::encode(Value(Data{1}), error));
  EXPECT_FALSE(json::encode(Value(Array{Value(std::numeric_limits<double>::quiet_NaN())}), error));
}

TEST(ValueTest, DescriptionsAreTheTextsTheLibraryWrites) {
  EXPECT_EQ(Value(4).description(), "4");
  EXPECT_EQ(Value("abc").description(), "abc");
  EXPECT_EQ(Value(true).description(), "1");
  EXPECT_EQ(Value(0.1).description(), "0.1");
  EXPECT_EQ(Value().description(), "<null>");
  EXPECT_EQ(Value(Data{0xAB, 0x01}).description(), "{length = 2, bytes = 0xab01}");
  EXPECT_EQ(Value(Dictionary{{"com.x", Value("1.6.13")}, {"a b", Value(Array{Value(1)})}}).description(),
            "{\n    \"a b\" = (\n        1\n    );\n    com.x = 1.6.13;\n}");
}

TEST(Sha1Test, MatchesTheStandardVectors) {
  EXPECT_EQ(sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(sha1Hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Sha1Test, LengthsAtTheBlockAndPaddingEdges) {
  const std::pair<std::size_t, const char*> expected[] = {
      {55, "04bb34aef4880b625e6b1564a014abd25fc02bfe"},  {56, "83b9fcb6d3e3b20f376ab989a1b6353bcc6c0f44"},
      {63, "ab15090e8dbe512f3733350f9623ab11f9b5165b"},  {64, "54305ee7e4c7bc5a96afc6d1994fc52d9bcb665f"},
      {65, "5985422a25357371ebd2a7f6ecd7eebed43db42c"},  {119, "6839d6c27f22ed884ac43ae6bd3bfcee9e04b938"},
      {120, "8c40517a14ab8b78fd4b8958f4e31254a34c3fb0"}};
  for (const auto& [length, hex] : expected) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 7 + 1) & 0xFF);
    EXPECT_EQ(sha1Hex(bytes), hex) << length;
  }
}

}  // namespace
}  // namespace crashreporting
