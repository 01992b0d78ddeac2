#include "crashreporting/Capture/VRDException.h"

#include <stdexcept>
#include <string>

#include "crashreporting/Capture/VRDHost.h"
#include "crashreporting/platform/SerialQueue.h"
#include "crashreporting/platform/SystemLog.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

struct LocalError {};

class CountingDelegate : public VRDSubmittableCrashDelegate {
 public:
  void potentiallySubmittableCrashOccurred() noexcept override { ++calls; }
  int calls = 0;
};

class Exceptions : public ContextTest {
 protected:
  void start(bool customExceptions, std::uint32_t maximum) {
    data_.customExceptionsEnabled = customExceptions;
    data_.maxCustomExceptions = maximum;
    data_.submittableCrashDelegate = &delegate_;
    ASSERT_TRUE(VRDContextInitialize(&data_));
  }
  std::vector<nlohmann::json> lines(const char* name) const { return recordLines(temp_.path() / name); }
  // The `exception` lines of a record file (each fatal one is followed by the process lines).
  std::vector<nlohmann::json> exceptions(const char* name) const {
    std::vector<nlohmann::json> found;
    for (auto& line : lines(name)) {
      if (line.contains("exception")) found.push_back(line["exception"]);
    }
    return found;
  }
  template <class Throw>
  static void recordThrown(Throw&& doThrow) {
    try {
      doThrow();
    } catch (...) {
      VRDCatchAndRecordActiveException();
    }
  }

  CountingDelegate delegate_;
};

TEST_F(Exceptions, EachKindOfThrownValueIsNamedAndFollowedByTheProcessLines) {
  start(false, 0);
  recordThrown([] { throw std::string("text"); });
  recordThrown([] { throw std::out_of_range("range"); });
  static std::runtime_error pointee("pointed");
  recordThrown([] { throw &pointee; });
  recordThrown([] { throw static_cast<std::exception*>(nullptr); });
  recordThrown([] { throw 7; });
  recordThrown([] { throw LocalError(); });
  VRDCatchAndRecordActiveException();  // nothing being handled: nothing recorded

  const auto all = lines("exception.vrdrecord");
  ASSERT_EQ(all.size(), 6u * 7u);
  for (std::size_t i = 0; i < all.size(); i += 7) {
    EXPECT_TRUE(all[i].contains("exception"));
    EXPECT_TRUE(all[i + 1].contains("threads"));
    EXPECT_TRUE(all[i + 6].contains("storage"));
  }
  const auto found = exceptions("exception.vrdrecord");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"std::string", "text"},  {"std::out_of_range", "range"}, {"std::runtime_error*", "pointed"},
      {"std::exception*", ""},  {"int", ""},                    {"crashreporting::test::(anonymous namespace)::LocalError", ""}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(found[i]["type"], "c++") << i;
    EXPECT_EQ(found[i]["name"], hexText(expected[i].first)) << expected[i].first;
    EXPECT_EQ(found[i]["reason"], hexText(expected[i].second)) << expected[i].first;
    EXPECT_FALSE(found[i].contains("frames"));
  }
  EXPECT_EQ(delegate_.calls, 6) << "every fatal record is delivered";
}

TEST_F(Exceptions, CustomExceptionsKeepTheirFramesAndAlternateFilesByTheMaximum) {
  start(true, 2);
  VRDStackFrame named = VRDStackFrame::stackFrameWithSymbol("doWork");
  named.address = 0x1000;
  named.offset = 16;
  named.library = "libwork.so";
  named.fileName = "work.cpp";
  named.lineNumber = 42;
  const std::vector<VRDStackFrame> frames = {named, VRDStackFrame::stackFrameWithAddress(0x2000)};
  VRDExceptionRecord(VRDExceptionTypeCustom, "First", "one", frames, true);
  VRDExceptionRecord(VRDExceptionTypeJavaScript, "Second", "two", {}, true);
  VRDContextLoggingQueue().sync([] {});
  VRDExceptionRecord(VRDExceptionTypeCustom, "Third", "three", {}, true);
  VRDContextLoggingQueue().sync([] {});

  const auto a = exceptions("custom_exception_a.vrdrecord");
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(a[0]["type"], "custom");
  EXPECT_EQ(a[0]["name"], hexText("First"));
  EXPECT_EQ(a[0]["reason"], hexText("one"));
  ASSERT_EQ(a[0]["frames"].size(), 2u);
  EXPECT_EQ(a[0]["frames"][0], nlohmann::json::parse(R"({"pc":4096,"symbol":")" + hexText("doWork") +
                                                     R"(","offset":16,"library":")" + hexText("libwork.so") +
                                                     R"(","file":")" + hexText("work.cpp") + R"(","line":42})"));
  EXPECT_EQ(a[0]["frames"][1], nlohmann::json::parse(R"({"pc":8192,"offset":0,"line":0})")) << "unknown texts left out";
  EXPECT_EQ(a[1]["type"], "javascript");
  EXPECT_FALSE(a[1].contains("frames"));
  const auto b = exceptions("custom_exception_b.vrdrecord");
  ASSERT_EQ(b.size(), 1u) << "the third goes to the B file";
  EXPECT_EQ(b[0]["name"], hexText("Third"));
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "exception.vrdrecord")) << "custom exceptions are not fatal";
  EXPECT_EQ(delegate_.calls, 0);
}

TEST_F(Exceptions, NothingIsRecordedWithCustomExceptionsOffOrAMaximumOfZeroOrBeforeSetUp) {
  VRDExceptionRecord(VRDExceptionTypeCpp, "early", "dropped", {}, true);
  start(false, 5);
  VRDExceptionRecord(VRDExceptionTypeCustom, "off", "in the settings", {}, true);
  VRDContextLoggingQueue().sync([] {});
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "custom_exception_a.vrdrecord"));
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "exception.vrdrecord"));
  VRDContextResetForTesting();

  start(true, 0);
  VRDExceptionRecord(VRDExceptionTypeCustom, "none", "allowed", {}, true);
  VRDContextLoggingQueue().sync([] {});
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "custom_exception_a.vrdrecord"));
  VRDExceptionRecord(VRDExceptionTypeCpp, "fatal", "undelivered", {}, false);
  EXPECT_EQ(exceptions("exception.vrdrecord").size(), 1u);
  EXPECT_EQ(delegate_.calls, 0);
}

TEST(ExceptionHandlers, SetUpInstallsOursInFrontAndTheCheckNamesAHandlerInstalledLater) {
  tilvane::test::ScopedTempDir temp;
  const std::string path = (temp.path() / "exception.vrdrecord").string();
  std::ofstream(path) << "old\n";
  const std::terminate_handler earlier = std::get_terminate();
  VRDExceptionContext context{path.c_str(), nullptr, 0};
  std::uint32_t counter = 9;
  VRDExceptionInitialize(&context, &counter);
  EXPECT_FALSE(std::filesystem::exists(path)) << "the old record is removed";
  EXPECT_EQ(counter, 0u);
  EXPECT_EQ(context.previousTerminateHandler, earlier);
  EXPECT_EQ(std::get_terminate(), &VRDTerminateHandler);
  {
    SystemLog::Capture log;
    VRDExceptionCheckHandlers();
    EXPECT_TRUE(log.lines().empty()) << "ours is installed";
  }
  VRDExceptionRestoreTerminateHandler(&context);
  EXPECT_EQ(std::get_terminate(), earlier);

  // Installed by someone else: named with its symbol and image.
  SystemLog::Capture log;
  VRDExceptionCheckHandlers();
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(log.lines()[0].starts_with("[Vuveradarad:Crash] Warning: std::get_terminate is '")) << log.lines()[0];
  EXPECT_NE(log.lines()[0].find("libstdc++"), std::string::npos) << log.lines()[0];
  VRDProcessSetDebuggerAttachedOverride(true);
  tilvane::test::ScopedTempDir reports;
  VRDContextInitData data;
  const std::string directory = reports.path().string();
  data.reportDirectory = directory.c_str();
  ASSERT_TRUE(VRDContextInitialize(&data));
  VRDExceptionCheckHandlers();
  EXPECT_EQ(log.lines().size(), 1u) << "not checked with a debugger attached";
  VRDContextResetForTesting();
  VRDProcessSetDebuggerAttachedOverride(std::nullopt);
}

TEST(ExceptionHandlers, TheTestExceptionIsTheLibrarysCString) {
  try {
    VRDExceptionRaiseCppTestException();
  } catch (const char* text) {
    EXPECT_STREQ(text, "Vuveradarad C++ Test Exception");
    return;
  }
  ADD_FAILURE() << "nothing thrown";
}

}  // namespace
}  // namespace crashreporting::test
