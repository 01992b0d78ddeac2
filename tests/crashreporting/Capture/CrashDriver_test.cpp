#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "crashreporting/Capture/VRDMetadata.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

constexpr int kHeapUsedStatus = 86;  // the driver's heap guard

struct Child {
  int status = 0;
  std::string output;
  bool diedBy(int signal) const { return WIFSIGNALED(status) && WTERMSIG(status) == signal; }
  bool exitedWith(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
};

// Runs the crash driver as a child, outside any debugger, without core dumps; collects its standard output.
Child run(const std::vector<std::string>& arguments) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  std::vector<char*> argv{const_cast<char*>(CRASHREPORTING_CRASHDRIVER)};
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    dup2(pipeFds[1], 1);
    close(pipeFds[0]);
    close(pipeFds[1]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  Child child;
  std::array<char, 512> buffer{};
  ssize_t n;
  while ((n = read(pipeFds[0], buffer.data(), buffer.size())) > 0) child.output.append(buffer.data(), static_cast<std::size_t>(n));
  close(pipeFds[0]);
  waitpid(pid, &child.status, 0);
  return child;
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
  ASSERT_EQ(lines.size(), 2u);
  const auto& signal = lines[0]["signal"];
  EXPECT_EQ(signal["number"], 11);
  EXPECT_EQ(signal["name"], "SIGSEGV");
  EXPECT_TRUE(signal["code_name"].is_null());
  EXPECT_EQ(signal["address"], 0);
  EXPECT_TRUE(signal.contains("errno") && signal.contains("time"));

  const auto& threads = lines[1]["threads"];
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_EQ(threads[0]["crashed"], true);
  const auto& stack = threads[0]["stacktrace"];
  EXPECT_EQ(stack[0], threads[0]["registers"]["rip"]);
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
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["signal"]["name"], "SIGABRT");
  EXPECT_EQ(lines[0]["signal"]["code_name"], "ABORT");

  std::filesystem::remove(directory_ / "signal.vrdrecord");
  child = crash("trap");
  ASSERT_TRUE(child.diedBy(SIGILL) || child.diedBy(SIGTRAP)) << child.status;
  lines = signalRecord();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["signal"]["number"], WTERMSIG(child.status));
  EXPECT_EQ(lines[0]["signal"]["name"], child.diedBy(SIGILL) ? "SIGILL" : "SIGTRAP");
  EXPECT_EQ(symbols(lines[1]["threads"][0]["stacktrace"]).at(0), "crashdriverTrap");
}

TEST_F(CrashDriver, ARaisedSignalIsRaisedAgainAfterRecordingInsteadOfRunningOn) {
  const Child child = crash("raise-segv");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status << " " << child.output;
  EXPECT_EQ(child.output.find("ran on"), std::string::npos);
  const auto lines = signalRecord();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_LE(lines[0]["signal"]["code"].get<int>(), 0) << "sent, not a fault";
}

TEST_F(CrashDriver, AnEarlierHandlerRunsAfterTheRecordExistsAndAnIgnoredSignalStaysIgnored) {
  const Child child = crash("chained-segv");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
  EXPECT_EQ(readText(temp_.path() / "marker"), "record=1 trap-ignored=1\n");
  EXPECT_EQ(signalRecord().size(), 2u);
}

TEST_F(CrashDriver, AStackOverflowIsRecordedOnTheStartingThreadAndOnAHostThreadWithItsOwnStack) {
  for (const char* mode : {"overflow", "thread-overflow"}) {
    std::filesystem::remove(directory_ / "signal.vrdrecord");
    const Child child = crash(mode);
    EXPECT_TRUE(child.diedBy(SIGSEGV)) << mode << " " << child.status;
    const auto lines = signalRecord();
    ASSERT_EQ(lines.size(), 2u) << mode;
    const auto& thread = lines[1]["threads"][0];
    EXPECT_TRUE(thread.contains("repeated_pc")) << mode;
    EXPECT_LT(thread["stacktrace"].size(), 100u) << mode;
    EXPECT_EQ(symbols(thread["stacktrace"]).at(0), "crashdriverRecurse") << mode;
  }
}

TEST_F(CrashDriver, TwoThreadsCrashingAtOnceOrDuringTheRecordLeaveExactlyOneCompleteRecord) {
  for (int round = 0; round < 6; ++round) {
    std::filesystem::remove(directory_ / "signal.vrdrecord");
    const Child child = crash(round % 2 == 0 ? "two-threads-crash" : "crash-during-record");
    EXPECT_TRUE(child.diedBy(SIGSEGV) || child.exitedWith(1)) << child.status;
    const auto lines = signalRecord();
    ASSERT_EQ(lines.size(), 2u) << "round " << round;
    EXPECT_TRUE(lines[0].contains("signal"));
    EXPECT_EQ(lines[1]["threads"].size(), 1u);
    EXPECT_EQ(symbols(lines[1]["threads"][0]["stacktrace"]).at(0), "crashdriverSegvOnThread");
  }
}

TEST_F(CrashDriver, WritingIntoTheProtectedContextFaults) {
  const Child child = crash("ro-write");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
  const auto lines = signalRecord();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["signal"]["code"], SEGV_ACCERR);
}

TEST_F(CrashDriver, WithTheDebuggerCheckForcedNoHandlerIsInstalledButTheMetadataIsWritten) {
  const Child child = crash("debugger");
  EXPECT_EQ(child.output, "handlers=default\n");
  EXPECT_TRUE(child.diedBy(SIGSEGV)) << child.status;
  EXPECT_FALSE(std::filesystem::exists(directory_ / "signal.vrdrecord"));
  EXPECT_EQ(recordLines(directory_ / "metadata.vrdrecord").size(), 4u);
}

TEST_F(CrashDriver, TheHeapGuardCatchesAnAllocationAfterTheCrashBegan) {
  const Child child = run({"heap-check", directory_.string()});
  EXPECT_TRUE(child.exitedWith(kHeapUsedStatus)) << child.status;
}

}  // namespace
}  // namespace crashreporting::test
