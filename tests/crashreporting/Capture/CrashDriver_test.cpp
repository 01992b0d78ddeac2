#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "crashreporting/Capture/VRDFileReader.h"
#include "crashreporting/Capture/VRDMetadata.h"
#include "crashreporting/Capture/VRDUserLogging.h"
#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/ChildProcess.h"
#include "crashreporting/support/ImageUUIDs.h"

namespace crashreporting::test {
namespace {

constexpr int kHeapUsedStatus = 86;  // the driver's heap guard

using Child = FinishedChild;

Child run(const std::vector<std::string>& arguments) { return runChild(CRASHREPORTING_CRASHDRIVER, arguments); }

// The sections a complete crash record holds after its `signal` line, in order.
const std::vector<std::string> kProcessSections = {"threads",      "runtime",       "dispatch_queue_names",
                                                   "thread_names", "process_stats", "storage"};
constexpr std::size_t kRecordLines = 7;

// The thread object marked crashed.
nlohmann::json crashedThread(const std::vector<nlohmann::json>& lines) {
  for (const auto& thread : lines.at(1)["threads"]) {
    if (thread.value("crashed", false)) return thread;
  }
  ADD_FAILURE() << "no crashed thread";
  return {};
}

class CrashDriver : public ::testing::Test {
 protected:
  Child crash(const std::string& mode) {
    Child child = run({mode, directory_.string(), (temp_.path() / "marker").string()});
    EXPECT_FALSE(child.exitedWith(kHeapUsedStatus)) << mode << ": the crash path used the heap";
    return child;
  }
  std::vector<nlohmann::json> signalRecord() const { return recordLines(directory_ / "signal.vrdrecord"); }
  std::uint64_t executableBase() const {
    const auto metadata = recordLines(directory_ / "metadata.vrdrecord");
    return metadata.size() == 4 ? metadata[3]["executable"]["base"].get<std::uint64_t>() : 0;
  }
  // Symbol names of the stack frames that lie in the driver, found by dladdr in a new driver process.
  std::vector<std::string> symbols(const nlohmann::json& stacktrace) const {
    const auto metadata = recordLines(directory_ / "metadata.vrdrecord");
    const auto& executable = metadata.at(3)["executable"];
    const auto base = executable["base"].get<std::uint64_t>();
    const auto size = executable["size"].get<std::uint64_t>();
    std::vector<std::string> arguments{"resolve", std::to_string(base)};
    for (const auto& pc : stacktrace) {
      const auto value = pc.get<std::uint64_t>();
      arguments.push_back(value >= base && value < base + size ? std::to_string(value) : "0");
    }
    const Child resolver = run(arguments);
    std::vector<std::string> names;
    std::istringstream lines(resolver.output);
    for (std::string line; std::getline(lines, line);) names.push_back(line);
    return names;
  }

  tilvane::test::ScopedTempDir temp_;
  std::filesystem::path directory_ = temp_.path();
};

TEST_F(CrashDriver, ASegmentationFaultLeavesTheSignalTheCrashedThreadAndTheMetadata) {
  const Child child = crash("segv");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
  const auto lines = signalRecord();
  ASSERT_EQ(lines.size(), kRecordLines);
  for (std::size_t i = 0; i < kProcessSections.size(); ++i) EXPECT_TRUE(lines[i + 1].contains(kProcessSections[i]));
  const auto& signal = lines[0]["signal"];
  EXPECT_EQ(signal["number"], 11);
  EXPECT_EQ(signal["name"], "SIGSEGV");
  EXPECT_TRUE(signal["code_name"].is_null());
  EXPECT_EQ(signal["address"], 0);
  EXPECT_TRUE(signal.contains("errno") && signal.contains("time"));

  const auto thread = crashedThread(lines);
  const auto& stack = thread["stacktrace"];
  EXPECT_EQ(stack[0], thread["registers"]["rip"]);
  const auto names = symbols(stack);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], "crashdriverSegv");
  EXPECT_NE(std::find(names.begin() + 1, names.end(), "main"), names.end()) << ::testing::PrintToString(names);

  const auto metadata = recordLines(directory_ / "metadata.vrdrecord");
  ASSERT_EQ(metadata.size(), 4u);
  EXPECT_EQ(metadata[0].begin().key(), "identity");
  EXPECT_EQ(metadata[1].begin().key(), "host");
  EXPECT_EQ(metadata[2].begin().key(), "application");
  EXPECT_EQ(metadata[3].begin().key(), "executable");
  EXPECT_EQ(metadata[0]["identity"]["generator"], VRDGeneratorName);
  EXPECT_EQ(metadata[0]["identity"]["session_id"], "session-\"quoted\"");
  EXPECT_EQ(metadata[2]["application"]["bundle_id"], "org.example_driver");
  EXPECT_TRUE(std::filesystem::exists(directory_ / "sdk.log"));
}

TEST_F(CrashDriver, AbortAndTrapAreRecordedUnderTheirNamesAndEndTheProcessTheirWay) {
  Child child = crash("abort");
  EXPECT_TRUE(child.diedBy(SIGABRT)) << child.status;
  auto lines = signalRecord();
  ASSERT_EQ(lines.size(), kRecordLines);
  EXPECT_EQ(lines[0]["signal"]["name"], "SIGABRT");
  EXPECT_EQ(lines[0]["signal"]["code_name"], "ABORT");

  std::filesystem::remove(directory_ / "signal.vrdrecord");
  child = crash("trap");
  ASSERT_TRUE(child.diedBy(SIGILL) || child.diedBy(SIGTRAP)) << child.status;
  lines = signalRecord();
  ASSERT_EQ(lines.size(), kRecordLines);
  EXPECT_EQ(lines[0]["signal"]["number"], WTERMSIG(child.status));
  EXPECT_EQ(lines[0]["signal"]["name"], child.diedBy(SIGILL) ? "SIGILL" : "SIGTRAP");
  EXPECT_EQ(symbols(crashedThread(lines)["stacktrace"]).at(0), "crashdriverTrap");
}

TEST_F(CrashDriver, ARaisedSignalIsRaisedAgainAfterRecordingInsteadOfRunningOn) {
  const Child child = crash("raise-segv");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status << " " << child.output;
  EXPECT_EQ(child.output.find("ran on"), std::string::npos);
  const auto lines = signalRecord();
  ASSERT_EQ(lines.size(), kRecordLines);
  EXPECT_LE(lines[0]["signal"]["code"].get<int>(), 0) << "sent, not a fault";
}

TEST_F(CrashDriver, AnEarlierHandlerRunsAfterTheRecordExistsAndAnIgnoredSignalStaysIgnored) {
  const Child child = crash("chained-segv");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
  EXPECT_EQ(readText(temp_.path() / "marker"), "record=1 trap-ignored=1\n");
  EXPECT_EQ(signalRecord().size(), kRecordLines);
}

TEST_F(CrashDriver, AStackOverflowIsRecordedOnTheStartingThreadAndOnAnyOtherWithoutTheHostsHelp) {
  // The starting thread, a host thread that asked for its own stack, a plain std::thread started after the
  // capture, and a thread that was running before it.
  for (const char* mode : {"overflow", "thread-overflow", "plain-thread-overflow", "early-thread-overflow"}) {
    std::filesystem::remove(directory_ / "signal.vrdrecord");
    const Child child = crash(mode);
    EXPECT_TRUE(child.diedBy(SIGSEGV)) << mode << " " << child.status;
    const auto lines = signalRecord();
    ASSERT_EQ(lines.size(), kRecordLines) << mode;
    const auto thread = crashedThread(lines);
    EXPECT_TRUE(thread.contains("repeated_pc")) << mode;
    EXPECT_GT(thread["repeat_count"].get<std::uint64_t>(), 1000u) << mode;
    EXPECT_LT(thread["stacktrace"].size(), 100u) << mode;
    const auto names = symbols(thread["stacktrace"]);
    ASSERT_GE(names.size(), 2u) << mode;
    EXPECT_EQ(names[0], "crashdriverRecurse") << mode;
    EXPECT_EQ(names[1], "crashdriverRecurse") << mode;
  }
  // The thread that blocks every signal could not be given a stack: the log says so, by its name.
  const std::string log = readText(directory_ / "sdk.log");
  EXPECT_NE(log.find("(blocker) has no alternate signal stack"), std::string::npos) << log;
}

TEST_F(CrashDriver, TwoThreadsCrashingAtOnceOrDuringTheRecordLeaveExactlyOneCompleteRecord) {
  for (int round = 0; round < 6; ++round) {
    std::filesystem::remove(directory_ / "signal.vrdrecord");
    const Child child = crash(round % 2 == 0 ? "two-threads-crash" : "crash-during-record");
    EXPECT_TRUE(child.diedBy(SIGSEGV) || child.exitedWith(1)) << child.status;
    const auto lines = signalRecord();
    ASSERT_EQ(lines.size(), kRecordLines) << "round " << round;
    EXPECT_TRUE(lines[0].contains("signal"));
    EXPECT_GE(lines[1]["threads"].size(), 3u);
    EXPECT_EQ(symbols(crashedThread(lines)["stacktrace"]).at(0), "crashdriverSegvOnThread");
  }
}

TEST_F(CrashDriver, WritingIntoTheProtectedContextFaults) {
  const Child child = crash("ro-write");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
  const auto lines = signalRecord();
  ASSERT_EQ(lines.size(), kRecordLines);
  EXPECT_EQ(lines[0]["signal"]["code"], SEGV_ACCERR);
}

TEST_F(CrashDriver, WithTheDebuggerCheckForcedNoHandlerIsInstalledButTheMetadataIsWritten) {
  const Child child = crash("debugger");
  EXPECT_EQ(child.output, "handlers=default\n");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
  EXPECT_FALSE(std::filesystem::exists(directory_ / "signal.vrdrecord"));
  EXPECT_EQ(recordLines(directory_ / "metadata.vrdrecord").size(), 4u);
}

// The next launch: a new driver process names the crashed thread's frames with the symbol resolver.
struct NamedFrame {
  std::string symbol;  // "?" when the frame stays unnamed
  std::uint64_t offset = 0;
  std::string library;
};

// The driver's run() is inlined into main in an optimised build; without optimisation it is a frame of its own.
bool isDriverEntry(const std::string& symbol) {
  return symbol == "main" || symbol == "_ZN12_GLOBAL__N_13runERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEPKci";
}

std::vector<NamedFrame> symbolicate(const std::filesystem::path& directory, const std::string& record = "signal.vrdrecord",
                                    const std::string& loadFirst = "") {
  std::vector<std::string> arguments{"symbolicate", directory.string(), record};
  if (!loadFirst.empty()) arguments.push_back(loadFirst);
  const Child child = run(arguments);
  EXPECT_TRUE(child.exitedWith(0)) << child.status;
  std::vector<NamedFrame> frames;
  std::istringstream lines(child.output);
  for (std::string line; std::getline(lines, line);) {
    NamedFrame frame;
    std::istringstream(line) >> frame.symbol >> frame.offset >> frame.library;
    frames.push_back(frame);
  }
  return frames;
}

TEST_F(CrashDriver, TheNextLaunchNamesTheCrashingFunctionAndItsCaller) {
  const char* driverName = "crashreporting_crashdriver";
  crash("segv");
  auto frames = symbolicate(directory_);
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[0].symbol, "crashdriverSegv");
  EXPECT_GT(frames[0].offset, 0u);
  EXPECT_EQ(frames[0].library, driverName);
  EXPECT_TRUE(isDriverEntry(frames[1].symbol)) << frames[1].symbol;

  // On the first instruction: frame 0 is that function at offset 0, not the one before it.
  crash("first-instruction");
  frames = symbolicate(directory_);
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[0].symbol, "crashdriverFirstInstruction");
  EXPECT_EQ(frames[0].offset, 0u);
  EXPECT_EQ(frames[1].symbol, "crashdriverCallFirstInstruction");
  EXPECT_EQ(frames[1].library, driverName);
}

TEST_F(CrashDriver, TheNextLaunchNamesStaticFunctionsAndAnAbsentLibrarysFramesFromItsFile) {
  crash("static-segv");
  auto frames = symbolicate(directory_);
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[0].symbol, "crashdriverStaticSegv");
  EXPECT_EQ(frames[1].symbol, "crashdriverStaticCaller");
  EXPECT_EQ(frames[1].library, "crashreporting_crashdriver");

  // A library loaded only by the crashed run: its frame between the driver's is named from the library's file.
  crash("library-segv");
  const auto images = recordLines(directory_ / "binary_images.vrdrecord");
  EXPECT_TRUE(std::any_of(images.begin(), images.end(), [](const nlohmann::json& line) {
    return line.contains("load") && line["load"]["path"] == CRASHREPORTING_TESTLIB;
  }));
  frames = symbolicate(directory_);
  ASSERT_GE(frames.size(), 3u);
  EXPECT_EQ(frames[0].symbol, "crashdriverSegvFromLibrary");
  EXPECT_EQ(frames[1].symbol, "crashreportingTestlibCall");
  EXPECT_EQ(frames[1].library, std::filesystem::path(CRASHREPORTING_TESTLIB).filename());
  EXPECT_TRUE(isDriverEntry(frames[2].symbol)) << frames[2].symbol;
}

TEST_F(CrashDriver, EveryThreadIsRecordedWithItsNameQueueRegistersAndStackBesideTheProcessFigures) {
  const Child child = crash("threads");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
  const auto lines = signalRecord();
  ASSERT_EQ(lines.size(), kRecordLines);
  const auto& threads = lines[1]["threads"];
  const auto& names = lines[4]["thread_names"];
  const auto& queues = lines[3]["dispatch_queue_names"];
  ASSERT_GE(threads.size(), 5u);
  ASSERT_EQ(names.size(), threads.size());
  ASSERT_EQ(queues.size(), threads.size());
  for (const auto& thread : threads) {
    EXPECT_NE(thread["registers"]["rip"], 0) << thread;
    EXPECT_NE(thread["registers"]["rsp"], 0) << thread;
  }
  EXPECT_EQ(std::count_if(threads.begin(), threads.end(), [](const auto& t) { return t.contains("crashed"); }), 1);
  for (int k = 1; k <= 4; ++k) {
    const std::string name = "w" + std::to_string(k);
    const auto at = std::find(names.begin(), names.end(), name);
    ASSERT_NE(at, names.end()) << name;
    const auto stack = symbols(threads[static_cast<std::size_t>(at - names.begin())]["stacktrace"]);
    EXPECT_NE(std::find(stack.begin(), stack.end(), "crashdriverWorker" + std::to_string(k)), stack.end())
        << name << ": " << ::testing::PrintToString(stack);
  }
  EXPECT_NE(std::find(queues.begin(), queues.end(), "com.zizozu.binary-images"), queues.end()) << queues;
  EXPECT_EQ(lines[2]["runtime"], nlohmann::json::parse(R"({"objc_selector":"","crash_info_entries":[]})"));

  const auto& stats = lines[5]["process_stats"];
  for (const char* key : {"active", "inactive", "wired", "freeMem", "free_mem", "virtual", "resident", "user_time",
                          "sys_time"}) {
    EXPECT_TRUE(stats.contains(key)) << key;
  }
  EXPECT_EQ(stats.size(), 9u);
  EXPECT_GT(stats["resident"].get<std::uint64_t>(), 0u);
  EXPECT_EQ(stats["freeMem"], stats["free_mem"]);
  const auto& storage = lines[6]["storage"];
  ASSERT_TRUE(storage.contains("free") && storage.contains("total")) << storage;
  EXPECT_GT(storage["total"].get<std::uint64_t>(), 0u);
  EXPECT_LE(storage["free"].get<std::uint64_t>(), storage["total"].get<std::uint64_t>());
}

TEST_F(CrashDriver, ADeepRecursionIsCutToAFewFramesAndTheFramesAfterIt) {
  crash("recurse");
  const auto lines = signalRecord();
  ASSERT_EQ(lines.size(), kRecordLines);
  const auto thread = crashedThread(lines);
  ASSERT_TRUE(thread.contains("repeated_pc") && thread.contains("repeat_count")) << thread;
  EXPECT_GT(thread["repeat_count"].get<std::uint64_t>(), 9000u);
  EXPECT_LT(thread["stacktrace"].size(), 100u);
  const auto names = symbols(thread["stacktrace"]);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], "crashdriverRecurseDeep");
  EXPECT_NE(std::find(names.begin(), names.end(), "main"), names.end()) << ::testing::PrintToString(names);
}

TEST_F(CrashDriver, ThreadsThatExitOrBlockEverySignalKeepTheirPlaceWithEmptyStates) {
  for (const char* mode : {"exiting-threads", "blocked-thread"}) {
    std::filesystem::remove(directory_ / "signal.vrdrecord");
    const Child child = crash(mode);
    EXPECT_TRUE(child.diedBy(SIGSEGV)) << mode << " " << child.status;
    const auto lines = signalRecord();
    ASSERT_EQ(lines.size(), kRecordLines) << mode;
    const auto& threads = lines[1]["threads"];
    const auto& names = lines[4]["thread_names"];
    ASSERT_EQ(names.size(), threads.size()) << mode;
    EXPECT_FALSE(crashedThread(lines)["stacktrace"].empty()) << mode;
    const nlohmann::json empty = nlohmann::json::parse(R"({"registers":{},"stacktrace":[]})");
    if (std::string(mode) == "blocked-thread") {
      const auto at = std::find(names.begin(), names.end(), "blocked");
      ASSERT_NE(at, names.end());
      EXPECT_EQ(threads[static_cast<std::size_t>(at - names.begin())], empty);
    }
    for (const auto& thread : threads) {
      EXPECT_TRUE(thread == empty || thread["registers"]["rip"] != 0) << mode << " " << thread;
    }
  }
}

TEST_F(CrashDriver, TheNextLaunchReadsTheCrashedRunsCustomKeysAndLog) {
  const Child child = crash("custom-keys");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
  const Dictionary keys = VRDUserLoggingReadKeyValues((directory_ / "user_incremental_kv.vrdrecord").string(),
                                                     (directory_ / "user_compacted_kv.vrdrecord").string(), true);
  EXPECT_EQ(keys, (Dictionary{{"color", Value("blue")}, {"name", Value("na\u00efve \u2603")}}));
  const auto log = recordLines(directory_ / "log_a.vrdrecord");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(VRDFileHexDecodeString(log[0]["log"]["msg"].get<std::string>().c_str()), "about to crash after 3 keys");
  const auto queues = signalRecord().at(3)["dispatch_queue_names"];
  EXPECT_NE(std::find(queues.begin(), queues.end(), "com.zizozu.logging"), queues.end()) << queues;
}

// The guard counts the crashing thread and any thread in a signal handler on its alternate stack (where the
// capture's answers run), not the library's threads going on with their own work.
TEST_F(CrashDriver, TheHeapGuardCatchesAnAllocationOnTheCrashPathOnly) {
  const struct {
    const char* mode;
    int status;
  } cases[] = {{"heap-check", kHeapUsedStatus}, {"heap-check-in-handler", kHeapUsedStatus},
               {"heap-check-other-thread", 0}};
  for (const auto& c : cases) {
    const Child child = run({c.mode, directory_.string()});
    EXPECT_TRUE(child.exitedWith(c.status)) << c.mode << " " << child.status;
  }
}

}  // namespace
}  // namespace crashreporting::test

namespace crashreporting::test {
namespace {

// Frames built without frame pointers, and libc's own, are unwound by their call-frame information.
TEST_F(CrashDriver, StacksWithoutFramePointersKeepEveryCaller) {
  crash("frameless-leaf");
  auto lines = signalRecord();
  ASSERT_EQ(lines.size(), kRecordLines);
  auto names = symbols(crashedThread(lines)["stacktrace"]);
  ASSERT_GE(names.size(), 4u);
  EXPECT_EQ(std::vector(names.begin(), names.begin() + 3),
            (std::vector<std::string>{"crashdriverFramelessLeaf", "crashdriverFramelessCaller",
                                      "crashdriverFramelessCallersCaller"}));
  EXPECT_NE(std::find(names.begin() + 3, names.end(), "main"), names.end()) << ::testing::PrintToString(names);

  // Frame 0 lies in libc (not the driver); the frames after it include its caller.
  crash("libc-strlen");
  lines = signalRecord();
  ASSERT_EQ(lines.size(), kRecordLines);
  names = symbols(crashedThread(lines)["stacktrace"]);
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(names[0], "?");
  EXPECT_EQ(names[1], "crashdriverStrlenCaller") << ::testing::PrintToString(names);
  EXPECT_NE(std::find(names.begin(), names.end(), "main"), names.end()) << ::testing::PrintToString(names);

  crash("frameless-overflow");
  lines = signalRecord();
  ASSERT_EQ(lines.size(), kRecordLines);
  const auto thread = crashedThread(lines);
  EXPECT_TRUE(thread.contains("repeated_pc")) << thread;
  EXPECT_LT(thread["stacktrace"].size(), 100u);
  names = symbols(thread["stacktrace"]);
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[0], "crashdriverFramelessRecurse");
  EXPECT_EQ(names[1], "crashdriverFramelessRecurse");
  EXPECT_NE(std::find(names.begin(), names.end(), "main"), names.end()) << ::testing::PrintToString(names);
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST_F(CrashDriver, AnUncaughtExceptionIsRecordedOnItsThreadThenTheEarlierHandlerRunsAndTheAbortIsRecorded) {
  const Child child = crash("throw-runtime");
  EXPECT_TRUE(child.diedBy(SIGABRT)) << child.status;
  const auto lines = recordLines(directory_ / "exception.vrdrecord");
  ASSERT_EQ(lines.size(), kRecordLines);
  const auto& exception = lines[0]["exception"];
  EXPECT_EQ(exception["type"], "c++");
  EXPECT_EQ(exception["name"], hexText("std::runtime_error"));
  EXPECT_EQ(exception["reason"], hexText("boom"));
  EXPECT_GT(exception["time"].get<std::int64_t>(), 0);
  EXPECT_FALSE(exception.contains("frames"));
  for (std::size_t i = 0; i < kProcessSections.size(); ++i) EXPECT_TRUE(lines[i + 1].contains(kProcessSections[i]));
  // The throwing thread's stack, walked through the exception machinery up to the throw.
  const auto names = symbols(crashedThread(lines)["stacktrace"]);
  EXPECT_TRUE(contains(names, "crashdriverThrowRuntime")) << ::testing::PrintToString(names);
  EXPECT_EQ(names.back(), "_start") << ::testing::PrintToString(names);

  EXPECT_EQ(readText(temp_.path() / "marker"), "chained record=1\n") << "the earlier handler ran after the record";
  const auto signal = signalRecord();
  ASSERT_EQ(signal.size(), kRecordLines);
  EXPECT_EQ(signal[0]["signal"]["name"], "SIGABRT");
}

TEST_F(CrashDriver, AThrownCStringAndAnExceptionOnAnotherThreadAreRecorded) {
  Child child = crash("throw-cstr");
  EXPECT_TRUE(child.diedBy(SIGABRT)) << child.status;
  auto lines = recordLines(directory_ / "exception.vrdrecord");
  ASSERT_EQ(lines.size(), kRecordLines);
  EXPECT_EQ(lines[0]["exception"]["name"], hexText("const char *"));
  EXPECT_EQ(lines[0]["exception"]["reason"], hexText("boom"));

  child = crash("throw-thread");
  EXPECT_TRUE(child.diedBy(SIGABRT)) << child.status;
  lines = recordLines(directory_ / "exception.vrdrecord");
  ASSERT_EQ(lines.size(), kRecordLines) << "the earlier run's record was removed at set-up";
  EXPECT_EQ(lines[0]["exception"]["name"], hexText("std::logic_error"));
  EXPECT_EQ(lines[0]["exception"]["reason"], hexText("from a thread"));
  EXPECT_GE(lines[1]["threads"].size(), 2u);
  const auto names = symbols(crashedThread(lines)["stacktrace"]);
  EXPECT_TRUE(contains(names, "crashdriverThrowLogicError")) << ::testing::PrintToString(names);
  EXPECT_TRUE(std::any_of(names.begin(), names.end(), [](const std::string& name) {
    return name.find("thread11_State_impl") != std::string::npos;
  })) << "the thread's own stack: " << ::testing::PrintToString(names);
  EXPECT_EQ(readText(temp_.path() / "marker"), "chained record=1\n");
}

TEST_F(CrashDriver, TwoThreadsEndingByExceptionsAtOnceLeaveOneWholeExceptionRecordAndAWholeAbortRecord) {
  for (int run = 0; run < 10; ++run) {
    const Child child = crash("throw-two-threads");
    EXPECT_TRUE(child.diedBy(SIGABRT) || child.exitedWith(1)) << child.status;
    // The second thread's end (through the earlier handler, or an abort) waits for the first one's record.
    const auto lines = recordLines(directory_ / "exception.vrdrecord");
    ASSERT_EQ(lines.size(), kRecordLines) << "run " << run;
    EXPECT_EQ(lines[0]["exception"]["name"], hexText("std::logic_error"));
    EXPECT_TRUE(lines.back().contains("storage"));
    const auto signal = signalRecord();
    ASSERT_EQ(signal.size(), kRecordLines) << "run " << run;
    EXPECT_EQ(signal[0]["signal"]["name"], "SIGABRT");
  }
}

}  // namespace
}  // namespace crashreporting::test

namespace crashreporting::test {
namespace {

std::vector<std::string> symbolNames(const std::vector<NamedFrame>& frames) {
  std::vector<std::string> names;
  for (const auto& frame : frames) names.push_back(frame.symbol);
  return names;
}

bool everyThreadHasAStack(const std::vector<nlohmann::json>& lines) {
  if (lines.size() != kRecordLines) return false;
  const auto& threads = lines[1]["threads"];
  return !threads.empty() && std::all_of(threads.begin(), threads.end(), [](const nlohmann::json& thread) {
    return !thread["stacktrace"].empty() && thread["registers"]["rip"] != 0;
  });
}

// Every `uuid` of a binary-image record widened to the image file's whole build-id, as records of versions that
// kept it whole carry it.
void widenImageUUIDs(const std::filesystem::path& record) {
  std::string widened;
  for (auto line : recordLines(record)) {
    auto& image = line.begin().value();
    const std::string whole = wholeBuildID(image["path"].get<std::string>());
    if (!whole.empty()) image["uuid"] = whole;
    widened += line.dump() + "\n";
  }
  std::ofstream(record) << widened;
}

// A plugin loaded by an absolute or a relative path (the process then changes its folder): the crash handler
// finds it in the loader's list, the image table having not looked yet, and records it under its absolute path,
// in the one UUID form the onboarding uses too. Processed in another folder, whether the plugin is loaded there
// or not, and from a record with whole build-ids as well: the frames gdb shows (the plugin's three, the driver's
// entry, run when it is not inlined, and main, libc's start and _start).
TEST_F(CrashDriver, ACrashInAPluginLoadedAMomentAgoKeepsEveryFrameAndIsNamedWithOrWithoutThePlugin) {
  const std::filesystem::path plugin = CRASHREPORTING_PLUGIN;
  ASSERT_FALSE(std::filesystem::exists(plugin.filename())) << "the relative path leads nowhere from here";
  for (const char* mode : {"plugin-segv", "relative-plugin-segv"}) {
    SCOPED_TRACE(mode);
    const Child child = crash(mode);
    EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
    const auto images = recordLines(directory_ / "binary_images.vrdrecord");
    EXPECT_TRUE(std::any_of(images.begin(), images.end(), [&](const nlohmann::json& line) {
      const std::filesystem::path path = line.contains("load") ? line["load"]["path"].get<std::string>() : "";
      return path.filename() == plugin.filename() && path.is_absolute() && std::filesystem::equivalent(path, plugin);
    })) << readText(directory_ / "binary_images.vrdrecord");
    expectImageUUIDsInOneForm(readText(directory_ / "binary_images.vrdrecord"),
                              readText(directory_ / "metadata.vrdrecord"), CRASHREPORTING_CRASHDRIVER);
    for (const bool widened : {false, true}) {
      if (widened) widenImageUUIDs(directory_ / "binary_images.vrdrecord");
      for (const std::string& loadFirst : {std::string(), plugin.string()}) {
        SCOPED_TRACE(std::string(widened ? "widened " : "") + loadFirst);
        const auto frames = symbolicate(directory_, "signal.vrdrecord", loadFirst);
        const std::size_t withRun = isDriverEntry(frames.size() > 4 ? frames[4].symbol : "") ? 1 : 0;
        ASSERT_EQ(frames.size(), 7u + withRun) << ::testing::PrintToString(symbolNames(frames));
        const std::vector<std::string> inPlugin{"crashreportingPluginLeaf", "crashreportingPluginMiddle",
                                                "crashreportingPluginEntry"};
        for (std::size_t i = 0; i < inPlugin.size(); ++i) {
          EXPECT_EQ(frames[i].symbol, inPlugin[i]);
          EXPECT_EQ(frames[i].library, plugin.filename());
        }
        EXPECT_TRUE(isDriverEntry(frames[3].symbol)) << frames[3].symbol;
        EXPECT_EQ(frames[4 + withRun].symbol, "?") << "libc's static caller of main";
        EXPECT_EQ(frames[5 + withRun].symbol, "__libc_start_main");
        EXPECT_EQ(frames[6 + withRun].symbol, "_start");
      }
    }
  }
}

TEST_F(CrashDriver, AnExceptionAndTheAbortAfterItEachRecordEveryThreadsStack) {
  for (const char* mode : {"throw-noexcept", "throw-thread"}) {
    for (int round = 0; round < 20; ++round) {
      const Child child = crash(mode);
      EXPECT_TRUE(child.diedBy(SIGABRT)) << mode << " " << child.status;
      EXPECT_TRUE(everyThreadHasAStack(recordLines(directory_ / "exception.vrdrecord"))) << mode << " " << round;
      EXPECT_TRUE(everyThreadHasAStack(signalRecord())) << mode << " " << round;
      const std::string log = readText(directory_ / "sdk.log");
      ASSERT_EQ(log.find("did not stop in time"), std::string::npos) << mode << " " << round;
    }
  }
}

TEST_F(CrashDriver, AnUncaughtExceptionsStackNamesTerminateTheThrowAndTheThreadsRunFunction) {
  crash("throw-thread");
  const auto names = symbolNames(symbolicate(directory_, "exception.vrdrecord"));
  EXPECT_TRUE(contains(names, "_ZSt9terminatev")) << ::testing::PrintToString(names);
  EXPECT_TRUE(contains(names, "__cxa_throw")) << ::testing::PrintToString(names);
  EXPECT_TRUE(std::any_of(names.begin(), names.end(), [](const std::string& name) {
    return name.find("thread11_State_impl") != std::string::npos && name.find("_M_runEv") != std::string::npos;
  })) << ::testing::PrintToString(names);
  const auto throwing = std::find(names.begin(), names.end(), "crashdriverThrowLogicError");
  ASSERT_NE(throwing, names.end());
  EXPECT_EQ(*std::prev(throwing), "__cxa_throw");
}

TEST_F(CrashDriver, TheCrashedThreadIsRecordedPastTheThreadLimit) {
  const Child child = crash("many-threads");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
  const auto lines = signalRecord();
  ASSERT_EQ(lines.size(), kRecordLines);
  EXPECT_EQ(lines[1]["threads"].size(), 512u);
  EXPECT_EQ(lines[4]["thread_names"].size(), 512u);
  const auto thread = crashedThread(lines);
  const auto names = symbols(thread["stacktrace"]);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], "crashdriverSegvOnThread");
}

TEST_F(CrashDriver, AnOrdinaryCrashAmongTwentyThreadsLogsNoErrorAndAHostTakingTheStopSignalChangesNothing) {
  Child child = crash("twenty-threads");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
  auto lines = signalRecord();
  ASSERT_TRUE(everyThreadHasAStack(lines));
  EXPECT_GE(lines[1]["threads"].size(), 21u);
  std::string log = readText(directory_ / "sdk.log");
  EXPECT_EQ(log.find("ERROR"), std::string::npos) << log.substr(log.find("ERROR") == std::string::npos ? 0 : log.find("ERROR"), 400);

  // The host installs its own handler for the signal chosen at start: the capture takes another one.
  std::filesystem::remove(directory_ / "signal.vrdrecord");
  child = crash("signal-taken");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
  lines = signalRecord();
  ASSERT_TRUE(everyThreadHasAStack(lines)) << lines.at(1);
  const auto& names = lines[4]["thread_names"];
  for (int k = 1; k <= 4; ++k) {
    const auto at = std::find(names.begin(), names.end(), "w" + std::to_string(k));
    ASSERT_NE(at, names.end());
    const auto stack = symbols(lines[1]["threads"][static_cast<std::size_t>(at - names.begin())]["stacktrace"]);
    EXPECT_TRUE(contains(stack, "crashdriverWorker" + std::to_string(k))) << ::testing::PrintToString(stack);
  }
}

TEST_F(CrashDriver, ThreadsStartingAndEndingAfterMainReturnsLeaveACleanExit) {
  const Child child = run({"threads-at-exit", directory_.string(), (temp_.path() / "marker").string()});
  EXPECT_TRUE(child.exitedWith(0)) << child.status;
  EXPECT_FALSE(std::filesystem::exists(directory_ / "signal.vrdrecord"));
}

}  // namespace
}  // namespace crashreporting::test

namespace crashreporting::test {
namespace {

// Calls that leave no caller's frame to unwind by, and a thread stopped on a PLT stub, whose call-frame
// information computes the frame by an expression: the stack as gdb shows it (its frame 0, an address no image
// holds or a stub no symbol names, is "?"), then on to main, without an ERROR.
TEST_F(CrashDriver, CallsThroughANullPointerIntoCodeWithoutUnwindInformationOrAPltStubKeepEveryCaller) {
  const struct {
    const char* mode;
    int signal;
    std::vector<std::string> frames;
  } cases[] = {
      {"null-call", SIGSEGV, {"?", "crashdriverCallThroughNull", "crashdriverCallThroughNullCaller"}},
      // RBP is an ordinary register holding 7 at the call: no frame pointer to stop the scan at.
      {"no-unwind-info", SIGILL, {"?", "crashdriverCallCodeWithRbpInUse", "crashdriverRbpInUseCaller"}},
      // The frameless caller's rules start past the return address the scan took.
      {"no-unwind-info-under-fp", SIGILL, {"?", "crashdriverCallCode", "crashdriverFramePointerCaller"}},
      {"plt-stub", SIGSEGV, {"?", "crashreportingTestlibCallThroughPlt"}},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(directory_ / "signal.vrdrecord");
    std::filesystem::remove(directory_ / "sdk.log");
    const Child child = crash(c.mode);
    EXPECT_TRUE(child.diedBy(c.signal)) << c.mode << " " << child.status;
    const auto lines = signalRecord();
    ASSERT_EQ(lines.size(), kRecordLines) << c.mode;
    // Named as the next launch names them: the driver's own run() is a local symbol, which dladdr cannot name.
    std::vector<std::string> names;
    for (const NamedFrame& frame : symbolicate(directory_)) names.push_back(frame.symbol);
    ASSERT_GE(names.size(), c.frames.size() + 1) << c.mode << " " << ::testing::PrintToString(names);
    EXPECT_EQ(std::vector(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(c.frames.size())), c.frames)
        << c.mode << " " << ::testing::PrintToString(names);
    EXPECT_TRUE(isDriverEntry(names[c.frames.size()])) << c.mode << " " << ::testing::PrintToString(names);
    const std::string log = readText(directory_ / "sdk.log");
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << c.mode << "\n" << log;
  }
}

// A child forked without exec shares the parent's report folder; it writes nothing there.
TEST_F(CrashDriver, AChildForkedWithoutExecRecordsNothingIntoItsParentsReport) {
  Child child = crash("fork-child-crash");
  EXPECT_EQ(child.output, "child 11\ndone 0\n");
  EXPECT_TRUE(child.exitedWith(0)) << child.status;
  EXPECT_FALSE(std::filesystem::exists(directory_ / "signal.vrdrecord")) << "the parent's run is no crash";
  EXPECT_EQ(readText(directory_ / "sdk.log").find("Signal:"), std::string::npos);

  // The parent crashing after its child did: the record is the parent's crash alone, named.
  child = crash("fork-both-crash");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
  ASSERT_EQ(signalRecord().size(), kRecordLines);
  const auto frames = symbolicate(directory_);
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[0].symbol, "crashdriverSegv");
  EXPECT_TRUE(isDriverEntry(frames[1].symbol)) << frames[1].symbol;
}

TEST_F(CrashDriver, TwoThreadsFaultingTogetherEndTheProcessByTheirSignalWithOneRecord) {
  for (int run = 0; run < 20; ++run) {
    std::filesystem::remove(directory_ / "signal.vrdrecord");
    const Child child = crash("two-threads-crash");
    EXPECT_TRUE(child.diedBy(SIGSEGV)) << "run " << run << ": status " << child.status;
    ASSERT_EQ(signalRecord().size(), kRecordLines) << "run " << run;
  }
}

}  // namespace
}  // namespace crashreporting::test

namespace crashreporting::test {
namespace {

// Whether this process may open its own mappings through /proc/self/map_files (privileged).
bool mapFilesOpen() {
  std::ifstream maps("/proc/self/maps");
  std::string range;
  maps >> range;
  const int fd = open(("/proc/self/map_files/" + range).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) close(fd);
  return fd >= 0;
}

// A plugin without .eh_frame_hdr whose path no longer led to its file when the image table first looked: its
// .eh_frame is read from the file mapped, and the crashed thread's frames are the seven gdb shows (libc's
// start_thread and clone3 are local symbols, which the next launch cannot name). A deleted plugin's own frames
// stay unnamed (its file is gone), but are found all the same.
TEST_F(CrashDriver, APluginWhosePathLeadsNowhereWhenFirstSeenIsWalkedFromTheFileMapped) {
  const std::vector<std::string> below{"crashdriverPluginThread",
                                       "_ZN14crashreporting12_GLOBAL__N_117startWithAltStackEPv", "?", "?"};
  const struct {
    const char* mode;
    std::vector<std::string> frames;
  } cases[] = {
      {"relative-plugin-on-thread",
       {"crashreportingPluginLeaf", "crashreportingPluginMiddle", "crashreportingPluginEntry"}},
      {"deleted-plugin-on-thread", {"?", "?", "?"}},
  };
  for (auto c : cases) {
    if (c.frames[0] == "?" && !mapFilesOpen()) continue;
    const Child child = crash(c.mode);
    EXPECT_TRUE(child.diedBy(SIGSEGV)) << c.mode << " " << child.status;
    c.frames.insert(c.frames.end(), below.begin(), below.end());
    EXPECT_EQ(symbolNames(symbolicate(directory_)), c.frames) << c.mode;
  }
}

}  // namespace
}  // namespace crashreporting::test
