#include <algorithm>
#include <fstream>

#include "crashreporting/Reports/VRDPackageReportOperation.h"
#include "crashreporting/Reports/VRDProcessReportOperation.h"
#include "crashreporting/Reports/VRDReportsController.h"
#include "crashreporting/Reports/VRDThreadArrayOperation.h"
#include "crashreporting/platform/SystemLog.h"
#include "crashreporting/support/Immutable.h"
#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/Package.h"

namespace crashreporting::test {
namespace {

namespace fs = std::filesystem;

TEST(Demangle, CppAndCppBlockNamesOnly) {
  EXPECT_EQ(VRDDemangleOperation::demangleSymbol("_Z3foov"), "foo()");
  EXPECT_EQ(VRDDemangleOperation::demangleSymbol("__Z3foov_block_invoke_2"), "foo()_block_invoke_2");
  EXPECT_EQ(VRDDemangleOperation::demangleSymbol("__Z3_block_invoke"), std::nullopt);  // begins before index 5
  EXPECT_EQ(VRDDemangleOperation::demangleSymbol("__Z3foov"), std::nullopt);
  EXPECT_EQ(VRDDemangleOperation::demangleSymbol("main"), std::nullopt);
  EXPECT_EQ(VRDDemangleOperation::demangleSymbol("_Znot a name"), std::nullopt);
  EXPECT_EQ(VRDDemangleOperation::demangleSymbol(nullptr), std::nullopt);
}

TEST(ThreadArray, ACancelSkipsTheRestOfEachThreadAfterItsFirstFrame) {
  auto walk = std::make_shared<VRDDemangleOperation>();
  walk->setThreadArray(std::make_shared<VRDThreadArray>(3, std::vector<VRDStackFrame>(3)));
  std::vector<std::size_t> seen;
  walk->enumerateFramesWithBlock([&](VRDStackFrame&, std::size_t index) {
    seen.push_back(index);
    if (seen.size() == 2) walk->cancel();
  });
  EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 0, 0}));
}

TEST(SymbolicatedFrames, UnresolvedFramesAreNullAndOnlyChangedNamesKeepTheirRawSymbol) {
  tilvane::test::ScopedTempDir temp;
  auto threads = std::make_shared<VRDThreadArray>();
  VRDStackFrame demangled = VRDStackFrame::stackFrameWithSymbol("_Z3foov");
  demangled.library = "app";
  demangled.offset = 4;
  VRDStackFrame plain = VRDStackFrame::stackFrameWithSymbol("main");
  threads->push_back({demangled, VRDStackFrame::stackFrameWithAddress(0x10)});
  threads->push_back({plain});
  auto demangle = std::make_shared<VRDDemangleOperation>();
  const std::string output = (temp.path() / "signal.vrdrecord.symbolicated").string();
  auto serialize = std::make_shared<VRDSerializeSymbolicatedFramesOperation>(output);
  demangle->setThreadArray(threads);
  serialize->setThreadArray(threads);
  demangle->start();
  serialize->start();
  const auto lines = recordLines(output);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].dump(),
            R"x({"threads":[[{"library":"app","offset":4,"raw_symbol":"_Z3foov","symbol":"foo()"},)x"
            R"({"library":null,"offset":0,"raw_symbol":null,"symbol":null}],)"
            R"([{"library":null,"offset":0,"symbol":"main"}]]})");
  EXPECT_EQ(std::distance(fs::directory_iterator(temp.path()), fs::directory_iterator()), 1);
}

class Reports : public ContextTest, public VRDReportsControllerDelegate, public VRDPackageUploader {
 protected:
  Reports() {
    EXPECT_TRUE(store_.prepareForNewLaunch());
    thisRun_ = *store_.setupNewPathForExecutionIdentifier("now");
    data_.reportDirectory = thisRun_.c_str();
    EXPECT_TRUE(VRDContextInitialize(&data_));
    folder_ = fs::path(store_.activePath()) / "earlier";
    fs::create_directories(folder_);
    std::ofstream(folder_ / "metadata.vrdrecord") << R"({"identity":{"session_id":"s-1","api_key":"k"}})" "\n";
    // A record with threads but without an image record: nothing can be named, packaging still goes on.
    std::ofstream(folder_ / "signal.vrdrecord") << R"({"signal":{"time":3}})" "\n"
                                                << R"({"threads":[{"stacktrace":[1,2]}]})" "\n";
  }
  VRDSettings settingsForReportsController(VRDReportsController&) override { return VRDSettings(); }
  std::optional<std::string> bundleIdentifierForReportsController(VRDReportsController&) override { return "b"; }
  std::optional<std::string> APIKeyForReportsController(VRDReportsController&) override { return "k"; }
  void reportsControllerDidCompletePackageSubmission(VRDReportsController&, const std::string& path,
                                                     const std::optional<Error>& error) override {
    completed_.emplace_back(path, error.has_value());
  }
  void reportsControllerDidCompleteAllSubmissions(VRDReportsController&) override {
    completedAll_.push_back(completed_.size());
  }
  bool submitPackageMultipartMimeAtPath(const std::string& path, bool synchronously) override {
    submitted_.emplace_back(path, synchronously);
    return true;
  }
  std::vector<PackagePart> parts(const std::string& path) {
    return parsePackage(readText(path), fs::path(path).stem().string());
  }

  VRDFileManager store_{(temp_.path() / "store").string()};
  std::string thisRun_;
  fs::path folder_;
  VRDReportsController controller_{*this, this, store_};
  std::vector<std::pair<std::string, bool>> submitted_;
  std::vector<std::pair<std::string, bool>> completed_;
  std::vector<std::size_t> completedAll_;  // how many uploads had ended each time all had
  SystemLog::Capture log_;
};

TEST_F(Reports, PackagesEveryFileAndHandsThePackageToTheUpload) {
  std::ofstream(folder_ / "old.gz") << "x";
  auto report = VRDInternalReport::reportWithPath(folder_.string());
  ASSERT_TRUE(controller_.prepareAndSubmitReport(*report, true, true));
  ASSERT_EQ(submitted_.size(), 1u);
  EXPECT_TRUE(submitted_[0].second);
  EXPECT_FALSE(fs::exists(folder_));
  EXPECT_TRUE(store_.processingPathContents().empty());
  const auto package = parts(submitted_[0].first);
  ASSERT_EQ(package.size(), 4u);
  EXPECT_EQ(package[2].name, "metadata.vrdrecord");
  EXPECT_EQ(package[3].name, "signal.vrdrecord");
  EXPECT_EQ(gunzip(package[3].body), std::string() +
                                         R"({"signal":{"time":3}})" "\n" R"({"threads":[{"stacktrace":[1,2]}]})" "\n");

  // A successful upload removes the package; a failed one leaves it for the retry.
  controller_.reportUploadAtPath(submitted_[0].first, Error{"d", 1, {}, {}});
  EXPECT_TRUE(fs::exists(submitted_[0].first));
  controller_.reportUploadAtPath(submitted_[0].first, std::nullopt);
  EXPECT_FALSE(fs::exists(submitted_[0].first));
  EXPECT_EQ(completed_, (std::vector<std::pair<std::string, bool>>{{submitted_[0].first, true},
                                                                  {submitted_[0].first, false}}));
}

TEST_F(Reports, AFileThatCannotBeCompressedGoesPlainUnderItsOwnName) {
  std::ofstream(folder_ / "signal.vrdrecord.gz") << "";
  Immutable fixed(folder_ / "signal.vrdrecord.gz");  // cannot be written
  if (!fixed.set()) GTEST_SKIP() << "this file system keeps no immutable flag";
  auto report = VRDInternalReport::reportWithPath(folder_.string());
  tilvane::test::ScopedEnv submit("VuveradaradSubmitReports", "NO");
  EXPECT_FALSE(controller_.prepareAndSubmitReport(*report, false, false));
  const auto prepared = store_.preparedPathContents();
  ASSERT_EQ(prepared.size(), 1u);
  const auto package = parts(prepared[0]);
  ASSERT_EQ(package.size(), 4u);
  EXPECT_EQ(package[3].name, "signal.vrdrecord");
  EXPECT_EQ(package[3].fileName, "signal.vrdrecord");
  EXPECT_EQ(package[3].contentType, "text/plain");
  EXPECT_EQ(package[3].body, R"({"signal":{"time":3}})" "\n" R"({"threads":[{"stacktrace":[1,2]}]})" "\n");
  EXPECT_NE(readText(fs::path(thisRun_) / "sdk.log").find("Error: compression failed for signal.vrdrecord.gz"),
            std::string::npos);
  fixed.lift();
}

TEST_F(Reports, WithPackagingDisabledTheReportStaysInProcessing) {
  tilvane::test::ScopedEnv packaging("VuveradaradPackageReports", "NO");
  auto report = VRDInternalReport::reportWithPath(folder_.string());
  EXPECT_FALSE(controller_.prepareAndSubmitReport(*report, false, true));
  EXPECT_EQ(log_.count("[Vuveradarad:Crash:Reports] Report packaging disabled"), 1u);
  EXPECT_TRUE(fs::exists(fs::path(store_.processingPath()) / "earlier" / "signal.vrdrecord"));
  EXPECT_EQ(report->path(), (fs::path(store_.processingPath()) / "earlier").string());
  EXPECT_TRUE(store_.preparedPathContents().empty());
  EXPECT_TRUE(submitted_.empty());
}

TEST_F(Reports, ACrashRecordThatIsNoRecordIsSetAsideWithItsReasonAndTheRestIsSent) {
  std::ofstream(folder_ / "signal.vrdrecord", std::ios::binary) << std::string(512, '\0');
  std::ofstream(folder_ / "exception.vrdrecord") << "{\"exception\":{\"time\":3}}\n{\"threads\":[{\"stack";  // torn: fine
  auto report = VRDInternalReport::reportWithPath(folder_.string());
  ASSERT_TRUE(controller_.prepareAndSubmitReport(*report, false, true));
  ASSERT_EQ(submitted_.size(), 1u);
  std::vector<std::string> names;
  for (const auto& part : parts(submitted_[0].first)) names.push_back(part.name);
  EXPECT_EQ(names, (std::vector<std::string>{"api_key", "report_id", "exception.vrdrecord", "metadata.vrdrecord"}));
  const std::string moved = (fs::path(store_.processingPath()) / "earlier" / "signal.vrdrecord").string();
  const auto lines = log_.lines();
  ASSERT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
              return line.starts_with("[Vuveradarad:Crash:Reports] Damaged record '" + moved +
                                      "': it holds only zero bytes; kept aside as '" + store_.damagedPath());
            }),
            1);
  const auto aside = store_.contentsOfDirectory(store_.damagedPath());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_TRUE(aside[0].ends_with("-s-1-signal.vrdrecord"));
  EXPECT_EQ(readText(aside[0]), std::string(512, '\0'));
}

TEST_F(Reports, TheDelegateHearsOnceEveryStartedUploadHasEnded) {
  auto first = VRDInternalReport::reportWithPath(folder_.string());
  ASSERT_TRUE(controller_.prepareAndSubmitReport(*first, false, true));
  const fs::path second = fs::path(store_.activePath()) / "second";
  fs::create_directories(second);
  std::ofstream(second / "signal.vrdrecord") << R"({"signal":{"time":4}})" "\n";
  auto other = VRDInternalReport::reportWithPath(second.string());
  ASSERT_TRUE(controller_.prepareAndSubmitReport(*other, false, true));
  ASSERT_EQ(submitted_.size(), 2u);
  controller_.reportUploadAtPath(submitted_[0].first, Error{"d", 1, {}, {}});
  EXPECT_TRUE(completedAll_.empty()) << "one upload is still under way";
  controller_.reportUploadAtPath(submitted_[1].first, std::nullopt);
  EXPECT_EQ(completedAll_, std::vector<std::size_t>{2});
  // A package that was never started (submission off) is no upload to wait for.
  controller_.reportUploadAtPath("/nowhere.multipartmime", std::nullopt);
  EXPECT_EQ(completedAll_, std::vector<std::size_t>{2});
}

// The symbolicated copy of a record: one array of thread arrays per `threads` line.
std::vector<nlohmann::json> symbolicatedLines(const std::vector<PackagePart>& package, const std::string& name) {
  for (const auto& part : package) {
    if (part.name != name) continue;
    std::vector<nlohmann::json> lines;
    std::istringstream in(gunzip(part.body).value_or(""));
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }
  ADD_FAILURE() << "no " << name;
  return {};
}

TEST_F(Reports, EveryCrashSectionAndTheWholeThreadsOfATornRecordAreSymbolicatedAndAnEmptyOrTornRecordIsLogged) {
  std::ofstream(folder_ / "binary_images.vrdrecord") << R"({"load":{"base":4096,"size":4096,"uuid":"00"}})" "\n";
  // Two crash sections, and a signal record cut in the middle of its second thread.
  std::ofstream(folder_ / "exception.vrdrecord") << R"({"exception":{"time":3}})" "\n"
                                                 << R"({"threads":[{"stacktrace":[1]}]})" "\n"
                                                 << R"({"exception":{"time":4}})" "\n"
                                                 << R"({"threads":[{"stacktrace":[2,3]},{"stacktrace":[4]}]})" "\n";
  std::ofstream(folder_ / "signal.vrdrecord")
      << R"({"signal":{"time":3}})" "\n" R"({"threads":[{"stacktrace":[5,6],"crashed":true},{"stackt)";
  auto report = VRDInternalReport::reportWithPath(folder_.string());
  ASSERT_TRUE(controller_.prepareAndSubmitReport(*report, false, true));
  ASSERT_EQ(submitted_.size(), 1u);
  const auto package = parts(submitted_[0].first);
  const auto exception = symbolicatedLines(package, "exception.vrdrecord.symbolicated");
  ASSERT_EQ(exception.size(), 2u);
  EXPECT_EQ(exception[0]["threads"].size(), 1u);
  EXPECT_EQ(exception[1]["threads"].size(), 2u);
  EXPECT_EQ(exception[1]["threads"][0].size(), 2u);
  const auto signal = symbolicatedLines(package, "signal.vrdrecord.symbolicated");
  ASSERT_EQ(signal.size(), 1u);
  ASSERT_EQ(signal[0]["threads"].size(), 1u) << "the thread written whole";
  EXPECT_EQ(signal[0]["threads"][0].size(), 2u);
  EXPECT_EQ(log_.count("[Vuveradarad:Crash:Reports] Damaged record 'signal.vrdrecord' of report 's-1': it is cut short "
                       "after 1 whole line; sent with what it holds"),
            1u);
  EXPECT_EQ(log_.lines().size(), 2u) << "the damage line and the packaging line";

  // An emptied record: one line naming the report.
  const fs::path emptied = fs::path(store_.activePath()) / "emptied";
  fs::create_directories(emptied);
  std::ofstream(emptied / "metadata.vrdrecord") << R"({"identity":{"session_id":"s-2","api_key":"k"}})" "\n";
  std::ofstream(emptied / "signal.vrdrecord").close();
  auto empty = VRDInternalReport::reportWithPath(emptied.string());
  ASSERT_TRUE(controller_.prepareAndSubmitReport(*empty, false, true));
  EXPECT_EQ(log_.count("[Vuveradarad:Crash:Reports] Damaged record 'signal.vrdrecord' of report 's-2': it is empty; "
                       "sent with what it holds"),
            1u);
}

TEST_F(Reports, ACancelledPackagingLeavesNoPackage) {
  auto report = VRDInternalReport::reportWithPath(folder_.string());
  auto package = std::make_shared<VRDPackageReportOperation>(*report, store_);
  package->cancel();
  package->main();
  EXPECT_FALSE(package->finalPath());
  EXPECT_TRUE(store_.preparedPathContents().empty());
  EXPECT_TRUE(fs::exists(folder_ / "signal.vrdrecord"));
}

}  // namespace
}  // namespace crashreporting::test
