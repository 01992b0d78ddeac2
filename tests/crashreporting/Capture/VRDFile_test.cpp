#include <sys/stat.h>

#include <cstdint>
#include <limits>

#include "crashreporting/Capture/VRDFile.h"
#include "crashreporting/Capture/VRDFileReader.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

class RecordFile : public ::testing::Test {
 protected:
  std::string path(const char* name) const { return (temp_.path() / name).string(); }
  tilvane::test::ScopedTempDir temp_;
};

TEST_F(RecordFile, NestedObjectsArraysAndEmptyValuesAreValidJsonLines) {
  const std::string file = path("nested.vrdrecord");
  VRDFile f;
  ASSERT_TRUE(VRDFileInitWithPath(&f, file.c_str(), false));
  VRDFileWriteSectionStart(&f, "outer");
  VRDFileWriteHashStart(&f);
  VRDFileWriteHashKey(&f, "empty_object");
  VRDFileWriteHashStart(&f);
  VRDFileWriteHashEnd(&f);
  VRDFileWriteHashKey(&f, "empty_array");
  VRDFileWriteArrayStart(&f);
  VRDFileWriteArrayEnd(&f);
  VRDFileWriteHashKey(&f, "nested");
  VRDFileWriteArrayStart(&f);
  VRDFileWriteArrayStart(&f);
  VRDFileWriteArrayEntryUint64(&f, 1);
  VRDFileWriteArrayEntryUint64(&f, 2);
  VRDFileWriteArrayEnd(&f);
  VRDFileWriteArrayStart(&f);
  VRDFileWriteArrayEntryUint64(&f, 3);
  VRDFileWriteArrayEnd(&f);
  VRDFileWriteArrayEnd(&f);
  VRDFileWriteHashKey(&f, "objects");
  VRDFileWriteArrayStart(&f);
  VRDFileWriteHashStart(&f);
  VRDFileWriteHashEntryUint64(&f, "max", std::numeric_limits<std::uint64_t>::max());
  VRDFileWriteHashEntryInt64(&f, "min", std::numeric_limits<std::int64_t>::min());
  VRDFileWriteHashEnd(&f);
  VRDFileWriteHashStart(&f);
  VRDFileWriteHashEntryBoolean(&f, "yes", true);
  VRDFileWriteHashEntryString(&f, "none", nullptr);
  VRDFileWriteHashEntryHexEncodedString(&f, "hex", "Hi!");
  VRDFileWriteHashEnd(&f);
  VRDFileWriteArrayEnd(&f);
  VRDFileWriteHashEnd(&f);
  VRDFileWriteSectionEnd(&f);
  VRDFileWriteSectionStart(&f, "second");
  VRDFileWriteArrayStart(&f);
  VRDFileWriteArrayEnd(&f);
  VRDFileWriteSectionEnd(&f);
  std::uint64_t written = 0;
  ASSERT_TRUE(VRDFileCloseWithOffset(&f, &written));
  EXPECT_EQ(f.fd, -1);

  const std::string text = readText(file);
  EXPECT_EQ(written, text.size());
  EXPECT_NE(text.find("\"nested\":[[1,2],[3]]"), std::string::npos) << text;
  const auto lines = recordLines(file);
  ASSERT_EQ(lines.size(), 2u);
  const auto& outer = lines[0]["outer"];
  EXPECT_EQ(outer["empty_object"], nlohmann::json::object());
  EXPECT_EQ(outer["empty_array"], nlohmann::json::array());
  EXPECT_EQ(outer["nested"], nlohmann::json::parse("[[1,2],[3]]"));
  EXPECT_EQ(outer["objects"][0]["max"].get<std::uint64_t>(), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(outer["objects"][0]["min"].get<std::int64_t>(), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(outer["objects"][1]["yes"], true);
  EXPECT_TRUE(outer["objects"][1]["none"].is_null());
  EXPECT_EQ(outer["objects"][1]["hex"], "486921");
  EXPECT_EQ(lines[1]["second"], nlohmann::json::array());
}

TEST_F(RecordFile, PlainStringsWithQuotesBackslashesAndControlBytesRoundTrip) {
  const std::string file = path("strings.vrdrecord");
  const std::string tricky = "a \"quoted\" name\\path\n\t\x01\x1f end \xC3\xA9";
  VRDFile f;
  ASSERT_TRUE(VRDFileInitWithPath(&f, file.c_str(), false));
  VRDFileWriteSectionStart(&f, "names");
  VRDFileWriteArrayStart(&f);
  VRDFileWriteArrayEntryString(&f, tricky.c_str());
  VRDFileWriteArrayEntryString(&f, "bad \xFF byte");
  VRDFileWriteArrayEntryString(&f, nullptr);
  VRDFileWriteArrayEnd(&f);
  VRDFileWriteSectionEnd(&f);
  ASSERT_TRUE(VRDFileClose(&f));

  const auto lines = recordLines(file);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["names"][0], tricky);
  EXPECT_EQ(lines[0]["names"][1], "bad \xEF\xBF\xBD byte");
  EXPECT_TRUE(lines[0]["names"][2].is_null());
}

TEST_F(RecordFile, ReaderKeepsEveryCompleteLineOfATornFileAndAppliesTheTransform) {
  const std::string file = path("torn.vrdrecord");
  std::ofstream(file) << "{\"a\":1}\n{\"b\":[2]}\n{\"c\":{\"d\":3}}\n{\"threads\":[{\"registers\":{\"rax\":1";
  auto sections = VRDFileReadSections(file.c_str(), false);
  ASSERT_TRUE(sections);
  ASSERT_EQ(sections->size(), 3u);
  EXPECT_EQ(*(*sections)[2].member("c")->member("d"), Value(3));

  sections = VRDFileReadSections(file.c_str(), false, [](Value v) -> std::optional<Value> {
    if (v.member("b")) return std::nullopt;
    return v;
  });
  ASSERT_TRUE(sections);
  EXPECT_EQ(sections->size(), 2u);
}

TEST_F(RecordFile, ReadingAMissingFileGivesNoneAndRemovesNothingElse) {
  const std::string other = path("other.vrdrecord");
  std::ofstream(other) << "{}\n";
  EXPECT_FALSE(VRDFileReadSections(path("missing.vrdrecord").c_str(), true));
  EXPECT_TRUE(std::filesystem::exists(other));
}

TEST_F(RecordFile, BufferedWritesGoOutWhenTheBufferFills) {
  const std::string file = path("buffered.vrdrecord");
  auto sizeOnDisk = [&] {
    struct stat status {};
    stat(file.c_str(), &status);
    return status.st_size;
  };
  const std::string block(999, 'x');
  VRDFile f;
  ASSERT_TRUE(VRDFileInitWithPath(&f, file.c_str(), true));
  VRDFileWriteWithLength(&f, block.data(), 998);
  EXPECT_EQ(sizeOnDisk(), 0);
  VRDFileWriteWithLength(&f, block.data(), 2);
  EXPECT_EQ(sizeOnDisk(), 999);
  EXPECT_EQ(f.fill, 1u);
  std::uint64_t written = 0;
  ASSERT_TRUE(VRDFileCloseWithOffset(&f, &written));
  EXPECT_EQ(written, 1000u);
  EXPECT_EQ(sizeOnDisk(), 1000);

  // Appending starts counting at the file's size.
  ASSERT_TRUE(VRDFileInitWithPath(&f, file.c_str(), true));
  EXPECT_EQ(f.bytesWritten, 1000u);
  VRDFileWriteWithLength(&f, block.data(), 999);
  EXPECT_EQ(sizeOnDisk(), 1999);
  ASSERT_TRUE(VRDFileClose(&f));
}

TEST_F(RecordFile, OpeningAFileInAMissingFolderFails) {
  VRDFile f;
  EXPECT_FALSE(VRDFileInitWithPath(&f, path("no/such/file").c_str(), false));
  EXPECT_FALSE(VRDFileIsOpen(&f));
}

TEST(RecordFileHex, DecodingStopsAtTheFirstBadPairAndIgnoresAnOddDigit) {
  EXPECT_EQ(VRDFileHexEncodeString("Hi\n"), "48690a");
  EXPECT_EQ(VRDFileHexDecodeString("48690A"), "Hi\n");
  EXPECT_EQ(VRDFileHexDecodeString("4869zz41"), "Hi");
  EXPECT_EQ(VRDFileHexDecodeString("48694"), "Hi");
  EXPECT_EQ(VRDFileHexDecodeString("g0"), "");
  EXPECT_EQ(VRDFileHexDecodeString("ff"), std::nullopt);
}

}  // namespace
}  // namespace crashreporting::test
