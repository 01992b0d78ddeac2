// Other programs' texts and property values: decoding must never pass on invalid UTF-8 or misread a value of
// the wrong type, format or length.
#include <gtest/gtest.h>

#include "platform/desktop/x11/Properties.h"
#include "platform/base/Utf8.h"

namespace tilvane::x11 {
namespace {

TEST(Utf8Test, KeepsValidTextAndReplacesEachBadSequence) {
  EXPECT_EQ(sanitizeUtf8("Grüße 日本 🎉"), "Grüße 日本 🎉");
  EXPECT_EQ(sanitizeUtf8("a\x80" "b"), "a\xEF\xBF\xBD" "b");              // stray continuation byte
  EXPECT_EQ(sanitizeUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");         // overlong '/'
  EXPECT_EQ(sanitizeUtf8("\xE0\x80\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // 3-byte overlong '/'
  EXPECT_EQ(sanitizeUtf8("\xF0\x80\x80\xAF"),
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // 4-byte overlong '/'
  EXPECT_EQ(sanitizeUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(sanitizeUtf8("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd);  // above U+10FFFF
  EXPECT_EQ(sanitizeUtf8("x\xE2\x82"), "x\xEF\xBF\xBD");                  // cut short at the end: one replacement
  EXPECT_EQ(sanitizeUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

PropertyValue value(xcb_atom_t type, std::uint8_t format, std::string bytes) {
  return PropertyValue{type, format, std::move(bytes), false};
}

std::string words(std::initializer_list<std::uint32_t> values) {
  std::string bytes;
  for (const std::uint32_t v : values) bytes.append(reinterpret_cast<const char*>(&v), 4);
  return bytes;
}

TEST(PropertyDecodingTest, ListsNeedTheirTypeAndThirtyTwoBitFormat) {
  const auto cardinals = value(XCB_ATOM_CARDINAL, 32, words({1, 2, 3}));
  EXPECT_EQ(decodeList(cardinals, XCB_ATOM_CARDINAL), (std::vector<std::uint32_t>{1, 2, 3}));
  EXPECT_EQ(decodeList(cardinals, XCB_ATOM_CARDINAL, 2), (std::vector<std::uint32_t>{1, 2}));
  EXPECT_EQ(decodeList(cardinals, XCB_ATOM_WINDOW), std::nullopt);
  EXPECT_EQ(decodeList(value(XCB_ATOM_CARDINAL, 16, words({1})), XCB_ATOM_CARDINAL), std::nullopt);
  EXPECT_EQ(decodeList(std::nullopt, XCB_ATOM_CARDINAL), std::nullopt);
  // A trailing partial item is ignored rather than read past the end.
  EXPECT_EQ(decodeList(value(XCB_ATOM_CARDINAL, 32, words({7}) + "xy"), XCB_ATOM_CARDINAL),
            (std::vector<std::uint32_t>{7}));
}

TEST(PropertyDecodingTest, FirstAndFixedCountsRefuseShortValues) {
  EXPECT_EQ(decodeFirst(value(XCB_ATOM_CARDINAL, 32, ""), XCB_ATOM_CARDINAL), std::nullopt);
  EXPECT_EQ(decodeFirst(value(XCB_ATOM_CARDINAL, 32, words({42, 43})), XCB_ATOM_CARDINAL), 42u);
  EXPECT_EQ(decodeFixed(value(XCB_ATOM_CARDINAL, 32, words({1, 2, 3})), XCB_ATOM_CARDINAL, 4), std::nullopt);
  EXPECT_EQ(decodeFixed(value(XCB_ATOM_CARDINAL, 32, words({1, 2, 3, 4, 5})), XCB_ATOM_CARDINAL, 4),
            (std::vector<std::uint32_t>{1, 2, 3, 4}));
}

TEST(PropertyDecodingTest, TextsByTypeAlwaysComeOutValid) {
  Atoms atoms;
  atoms.UTF8_STRING = 300;
  atoms.COMPOUND_TEXT = 301;
  EXPECT_EQ(decodeText(value(300, 8, "Grüße"), atoms), "Grüße");
  EXPECT_EQ(decodeText(value(300, 8, "bad \xFF end"), atoms), "bad \xEF\xBF\xBD end");
  EXPECT_EQ(decodeText(value(XCB_ATOM_STRING, 8, "caf\xE9"), atoms), "café");
  EXPECT_EQ(decodeText(value(301, 8, "ok\xE9"), atoms), "ok\xEF\xBF\xBD");
  EXPECT_EQ(decodeText(value(300, 8, std::string("first\0second", 12)), atoms), "first");
  EXPECT_EQ(decodeText(value(XCB_ATOM_INTEGER, 32, words({1, 2})), atoms), std::nullopt);
  EXPECT_EQ(decodeText(value(300, 32, "abcd"), atoms), std::nullopt);
  EXPECT_EQ(decodeText(value(300, 8, ""), atoms), "");
}

TEST(PropertyDecodingTest, WmClassToleratesMissingTerminatorsAndHugeNames) {
  EXPECT_EQ(decodeWmClass(value(XCB_ATOM_STRING, 8, std::string("xterm\0XTerm\0", 12))),
            (WmClass{"xterm", "XTerm"}));
  EXPECT_EQ(decodeWmClass(value(XCB_ATOM_STRING, 8, "lonely")), (WmClass{"lonely", "lonely"}));
  EXPECT_EQ(decodeWmClass(value(XCB_ATOM_STRING, 8, std::string("\0Cls", 4))), (WmClass{"Cls", "Cls"}));
  EXPECT_EQ(decodeWmClass(value(XCB_ATOM_STRING, 8, std::string("\0\0", 2))), std::nullopt);
  EXPECT_EQ(decodeWmClass(value(XCB_ATOM_INTEGER, 8, "x")), std::nullopt);
  const auto huge = decodeWmClass(value(XCB_ATOM_STRING, 8, std::string(100000, 'A')));
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->instance.size(), 255u);
  EXPECT_EQ(decodeWmClass(value(XCB_ATOM_STRING, 8, std::string("d\xE9j\xE0\0V\xFF", 7)))->className, "Vÿ");
}

}  // namespace
}  // namespace tilvane::x11
