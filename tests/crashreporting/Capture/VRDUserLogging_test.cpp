#include <string>

#include "crashreporting/Capture/VRDFileReader.h"
#include "crashreporting/Capture/VRDUserLogging.h"
#include "crashreporting/platform/SerialQueue.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

class UserLogging : public ContextTest {
 protected:
  void start(bool errorReporting = true) {
    data_.maxCustomKeys = 16;
    data_.logBufferSize = 100;
    data_.errorReportingEnabled = errorReporting;
    data_.maxCustomExceptions = 3;
    ASSERT_TRUE(VRDContextInitialize(&data_));
  }
  std::filesystem::path file(const char* name) const { return temp_.path() / name; }
  // After the queued compactions and swap checks.
  static void settle() { VRDContextLoggingQueue().sync([] {}); }
  static void set(const std::string& key, const std::optional<std::string>& value) {
    const Value boxed(value.value_or(""));
    VRDUserLoggingRecordUserKeyValue(key.c_str(), value ? &boxed : nullptr);
  }
  static Dictionary keys() {
    settle();
    return VRDUserLoggingGetCompactedKVEntries(&VRDContextReadOnly()->logging.userKVStorage, true).value_or(Dictionary{});
  }
};

TEST_F(UserLogging, The64thWriteCompactsToAtMostTheMaximumAndANilValueRemovesAKey) {
  start();
  set("gone", "soon");
  set("gone", std::nullopt);
  EXPECT_EQ(keys().count("gone"), 0u);
  for (int i = 0; i < 61; ++i) set("key" + std::to_string(i % 20), "value " + std::to_string(i));
  settle();
  EXPECT_TRUE(std::filesystem::exists(file("user_incremental_kv.vrdrecord"))) << "63 writes";
  set("key19", "value 61");
  settle();
  EXPECT_FALSE(std::filesystem::exists(file("user_incremental_kv.vrdrecord"))) << "compacted at the 64th write";
  const auto compacted = recordLines(file("user_compacted_kv.vrdrecord"));
  EXPECT_EQ(compacted.size(), 16u) << "20 keys, at most 16 kept";
  for (const auto& line : compacted) EXPECT_FALSE(line["kv"]["value"].is_null());
  const Dictionary merged = keys();
  EXPECT_EQ(merged.size(), 16u);
  EXPECT_EQ(merged.count("gone"), 0u);
  EXPECT_EQ(merged.at("key0"), Value("value 60"));
  // Writes after the compaction go to a new incremental file and win over the compacted pairs.
  set("key0", "newer");
  EXPECT_EQ(keys().at("key0"), Value("newer"));
  EXPECT_EQ(VRDContextWritable()->userKVCount, 1u);
}

TEST_F(UserLogging, ACompactionThatCannotWriteItsNewFileLosesNoKey) {
  start();
  for (int i = 0; i < 64; ++i) set("early" + std::to_string(i % 10), std::to_string(i));
  settle();
  ASSERT_TRUE(std::filesystem::exists(file("user_compacted_kv.vrdrecord")));
  // The new compacted file cannot be opened: a folder stands in its place.
  std::filesystem::create_directory(file("user_compacted_kv.vrdrecord.new"));
  for (int i = 0; i < 64; ++i) set("late" + std::to_string(i % 4), std::to_string(i));
  const Dictionary merged = keys();
  EXPECT_EQ(merged.size(), 14u);
  EXPECT_EQ(merged.at("early9"), Value("59"));
  EXPECT_EQ(merged.at("late3"), Value("63"));
}

TEST_F(UserLogging, LogFilesAlternateOnceFullAndTheNewerOneStartsEmpty) {
  start();
  VRDLog("first %d", 1);
  settle();
  ASSERT_EQ(recordLines(file("log_a.vrdrecord")).size(), 1u);
  const auto line = recordLines(file("log_a.vrdrecord"))[0]["log"];
  EXPECT_EQ(VRDFileHexDecodeString(line["msg"].get<std::string>().c_str()), "first 1");
  EXPECT_NEAR(line["time"].get<double>() / 1000.0, static_cast<double>(std::time(nullptr)), 5.0);
  VRDLog("%s", std::string(60, 'x').c_str());  // past 100 bytes: the next line goes to B
  settle();
  EXPECT_STREQ(VRDContextWritable()->logStorageCurrent, file("log_b.vrdrecord").c_str());
  VRDLog("third");
  VRDLog("%s", std::string(60, 'y').c_str());
  settle();
  EXPECT_EQ(recordLines(file("log_b.vrdrecord")).size(), 2u);
  // Back to A, emptied first.
  VRDLog("fifth");
  settle();
  const auto a = recordLines(file("log_a.vrdrecord"));
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(VRDFileHexDecodeString(a[0]["log"]["msg"].get<std::string>().c_str()), "fifth");
  // A message longer than the log is cut to its maximum size.
  VRDLog("%s", std::string(300, 'z').c_str());
  settle();
  const auto full = recordLines(file("log_a.vrdrecord"));
  ASSERT_EQ(full.size(), 2u);
  EXPECT_EQ(VRDFileHexDecodeString(full.back()["log"]["msg"].get<std::string>().c_str()), std::string(100, 'z'));
  EXPECT_TRUE(recordLines(file("log_b.vrdrecord")).empty()) << "swapped to B, emptied";
}

TEST_F(UserLogging, ErrorsCarryTheirStackAndInformationAndCountTowardsTheSwap) {
  start();
  Error error{"org.example.errors", -7, {{"reason", Value("disk full")}}, {}};
  const Dictionary extra{{"attempt", Value(3)}};
  VRDUserLoggingRecordError(&error, &extra);
  VRDUserLoggingRecordError(&error, nullptr);
  settle();
  const auto lines = recordLines(file("errors_a.vrdrecord"));
  ASSERT_EQ(lines.size(), 2u);
  const auto& first = lines[0]["error"];
  EXPECT_EQ(VRDFileHexDecodeString(first["domain"].get<std::string>().c_str()), "org.example.errors");
  EXPECT_EQ(first["code"], -7);
  EXPECT_FALSE(first["stacktrace"].empty());
  EXPECT_EQ(first["info"], nlohmann::json::parse(R"([["726561736f6e","6469736b2066756c6c"]])"));
  EXPECT_EQ(first["extra_info"], nlohmann::json::parse(R"([["617474656d7074","33"]])"));
  EXPECT_FALSE(lines[1]["error"].contains("extra_info"));
  VRDUserLoggingRecordError(&error, nullptr);  // the third of at most 3: the next goes to B
  settle();
  EXPECT_STREQ(VRDContextWritable()->errorStorageCurrent, file("errors_b.vrdrecord").c_str());
}

TEST_F(UserLogging, WithErrorReportingOffNoErrorIsWritten) {
  start(false);
  Error error{"org.example.errors", 1, {}, {}};
  VRDUserLoggingRecordError(&error, nullptr);
  settle();
  EXPECT_FALSE(std::filesystem::exists(file("errors_a.vrdrecord")));
}

TEST(UserLoggingWithoutContext, RecordsNothing) {
  const Value value("v");
  VRDUserLoggingRecordUserKeyValue("k", &value);
  VRDLog("nothing");
  EXPECT_FALSE(VRDUserLoggingGetCompactedKVEntries(nullptr, true));
}

}  // namespace
}  // namespace crashreporting::test
