#include <chrono>

#include "crashreporting/Capture/VRDFile.h"
#include "crashreporting/Capture/VRDFileReader.h"
#include "crashreporting/Reports/VRDInternalReport.h"
#include "crashreporting/Reports/VRDReport.h"
#include "crashreporting/platform/SystemLog.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

namespace fs = std::filesystem;

// Report folders written with the record writer, as the crash capture writes them.
class InternalReport : public ContextTest {
 protected:
  fs::path folder(const std::string& name) {
    const fs::path path = temp_.path() / name;
    fs::create_directories(path);
    return path;
  }
  static void write(const fs::path& path, const std::function<void(VRDFile*)>& lines) {
    VRDFile file;
    ASSERT_TRUE(VRDFileInitWithPath(&file, path.c_str(), false));
    lines(&file);
    VRDFileClose(&file);
  }
  static void section(VRDFile* file, const char* name, const std::vector<std::pair<const char*, const char*>>& strings,
                      std::optional<std::uint64_t> time = std::nullopt, const char* timeKey = "time") {
    VRDFileWriteSectionStart(file, name);
    VRDFileWriteHashStart(file);
    for (const auto& [key, value] : strings) VRDFileWriteHashEntryString(file, key, value);
    if (time) VRDFileWriteHashEntryUint64(file, timeKey, *time);
    VRDFileWriteHashEnd(file);
    VRDFileWriteSectionEnd(file);
  }
  SystemLog::Capture log_;
  static std::int64_t seconds(const std::optional<VRDDate>& date) {
    return date ? std::chrono::duration_cast<std::chrono::seconds>(date->time_since_epoch()).count() : -1;
  }
};

TEST_F(InternalReport, ErrorsOnlyAreSubmittableButNoCrashAndHaveNoDate) {
  const fs::path path = folder("errors");
  write(path / "errors_a.vrdrecord", [](VRDFile* f) { section(f, "error", {{"domain", "d"}}); });
  write(path / "signal.vrdrecord.gz", [](VRDFile* f) { section(f, "signal", {}, 5); });
  const auto report = VRDInternalReport::reportWithPath(path.string(), "id");
  ASSERT_TRUE(report);
  EXPECT_TRUE(report->needsToBeSubmitted());
  EXPECT_FALSE(report->isCrash());
  EXPECT_EQ(report->crashedOnDate(), std::nullopt);

  const fs::path empty = folder("empty");
  write(empty / "binary_images.vrdrecord", [](VRDFile* f) { section(f, "load", {}); });
  EXPECT_FALSE(VRDInternalReport::reportWithPath(empty.string(), "id")->needsToBeSubmitted());
  EXPECT_FALSE(VRDInternalReport::reportWithPath("", "id"));
  EXPECT_FALSE(VRDInternalReport::reportWithPath(empty.string(), ""));
}

TEST_F(InternalReport, SignalAndMachRecordsTakeTheDateFromTheMachRecord) {
  const fs::path path = folder("both");
  write(path / "signal.vrdrecord", [](VRDFile* f) { section(f, "signal", {{"name", "SIGSEGV"}}, 1000); });
  write(path / "mach_exception.vrdrecord", [](VRDFile* f) { section(f, "mach_exception", {}, 2000); });
  const auto report = VRDInternalReport::reportWithPath(path.string(), "id");
  EXPECT_TRUE(report->isCrash());
  EXPECT_EQ(seconds(report->crashedOnDate()), 2000);
  fs::remove(path / "mach_exception.vrdrecord");
  EXPECT_EQ(seconds(report->crashedOnDate()), 1000);
  // An uncaught exception alone is a crash without a date.
  fs::remove(path / "signal.vrdrecord");
  write(path / "exception.vrdrecord", [](VRDFile* f) { section(f, "exception", {}); });
  EXPECT_TRUE(report->isCrash());
  EXPECT_EQ(report->crashedOnDate(), std::nullopt);
  std::vector<std::string> names;
  report->enumerateSymbolicatableFilesInContent([&](const std::string& p) { names.push_back(fs::path(p).filename()); });
  EXPECT_EQ(names, (std::vector<std::string>{"exception.vrdrecord", "mach_exception.vrdrecord", "signal.vrdrecord"}));
}

TEST_F(InternalReport, MetadataIsFoundBySectionKeyAndAMissingSessionFallsBackToTheFolderName) {
  const fs::path path = folder("exec-42");
  // No host line, and the identity without a session: later values must not shift.
  write(path / "metadata.vrdrecord", [](VRDFile* f) {
    section(f, "identity", {{"api_key", "k1"}}, 1234, "started_at");
    section(f, "application", {{"build_version", "7"}, {"display_version", "1.2"}});
  });
  const auto report = VRDInternalReport::reportWithPath(path.string());
  ASSERT_TRUE(report);
  EXPECT_EQ(report->identifier(), "exec-42");
  EXPECT_EQ(log_.count("[Vuveradarad:Crash] Unable to read identifier at path " + path.string()), 1u);
  EXPECT_EQ(report->APIKey(), "k1");
  EXPECT_EQ(report->bundleVersion(), "7");
  EXPECT_EQ(report->bundleShortVersionString(), "1.2");
  EXPECT_EQ(report->OSVersion(), std::nullopt);
  EXPECT_EQ(report->OSBuildVersion(), std::nullopt);
  EXPECT_EQ(seconds(report->dateCreated()), 1234);

  const fs::path whole = folder("whole");
  write(whole / "metadata.vrdrecord", [](VRDFile* f) {
    section(f, "identity", {{"session_id", "s-9"}});
    section(f, "host", {{"os_display_version", "6.1.0"}, {"os_build_version", "#1 SMP"}});
  });
  const auto named = VRDInternalReport::reportWithPath(whole.string());
  EXPECT_EQ(named->identifier(), "s-9");
  EXPECT_EQ(named->OSVersion(), "6.1.0");
  EXPECT_EQ(named->OSBuildVersion(), "#1 SMP");
  EXPECT_EQ(named->bundleVersion(), std::nullopt);
}

TEST_F(InternalReport, AReadAheadReportKeepsItsValuesAndTakesNoNewOnes) {
  const fs::path path = folder("kv");
  write(path / "signal.vrdrecord", [](VRDFile* f) { section(f, "signal", {}, 77); });
  data_.reportDirectory = temp_.path().c_str();
  ASSERT_TRUE(VRDContextInitialize(&data_));
  const Value blue("blue");
  {
    VRDReport open(*VRDInternalReport::reportWithPath(path.string(), "id"));
    EXPECT_TRUE(open.canRecordNewValues());
    open.setObjectValue(&blue, "color");
    open.setUserIdentifier("user-1");
    EXPECT_EQ(open.userIdentifier(), std::nullopt);
    ASSERT_EQ(open.customKeys().count("color"), 1u);
    EXPECT_EQ(open.customKeys().at("color"), Value("blue"));
  }
  VRDReport ahead(*VRDInternalReport::reportWithPath(path.string(), "id"), true);
  EXPECT_TRUE(ahead.readOnly());
  EXPECT_TRUE(ahead.isCrash());
  EXPECT_EQ(seconds(ahead.crashedOnDate()), 77);
  const Value red("red");
  ahead.setObjectValue(&red, "color");
  ahead.setObjectValue(&red, "other");
  EXPECT_EQ(ahead.customKeys().at("color"), Value("blue"));
  EXPECT_EQ(VRDReport(*VRDInternalReport::reportWithPath(path.string(), "id")).customKeys().count("other"), 0u);
  EXPECT_NE(readText(path / "internal_incremental_kv.vrdrecord").find(VRDFileHexEncodeString("user-1")),
            std::string::npos);
}

}  // namespace
}  // namespace crashreporting::test
