#include <cstdlib>
#include <string>

#include "crashreporting/EndToEnd/EndToEnd.h"

// Hosts that return from main while events are still being recorded and sent: each event reaches the server over
// the run and the next start, in one package, and the exit waits a bounded time for the library. An upload the
// exit cut unanswered (a server slower than the bound, or a machine too busy for the answer to be read in time) is
// sent again whole by the next start, under the boundary the server had it by: the run says so.

namespace crashreporting::test {
namespace {

/// Runs of each case; more by CRASHREPORTING_EXIT_RUNS (the figure a change to the exit is measured with).
int runsOfEachCase() {
  const char* runs = std::getenv("CRASHREPORTING_EXIT_RUNS");
  return runs && std::atoi(runs) > 0 ? std::atoi(runs) : 2;
}

/// The number after `label` in `text`; -1 when it is not there.
long long numberAfter(const std::string& text, const std::string& label) {
  const auto at = text.find(label);
  return at == std::string::npos ? -1 : std::atoll(text.c_str() + at + label.size());
}

long long steadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class HostExit : public EndToEnd {
 protected:
  HostExit() {
    fs::create_directories(settingsFile().parent_path());
    // Small logs: packages leave all through a run, the last of them in its final moments.
    std::ofstream(settingsFile()) << R"({"analytics":{"url":")" << server_.url("/events")
                                  << R"(","max_byte_size_per_file":1000}})";
    answer();
  }
  void answer() { server_.setReply("/events", tilvane::test::ScriptedReply::ok("{}")); }
  void neverAnswer() {
    auto silent = tilvane::test::ScriptedReply::ok("{}");
    silent.delay = 600;
    server_.setReply("/events", silent);
  }

  /// A run of the host with `steps`; how long it took from its return from main until it ended (ms).
  long long exitTime(std::vector<std::string> steps, std::string& output) {
    auto host = run(std::move(steps), kNoSettingsDownload);
    const bool ended = host->finishWithin(20.0);
    const long long now = steadyMilliseconds();
    output = host->output() + host->errors();
    EXPECT_TRUE(ended) << output;
    EXPECT_EQ(host->wait(), 0) << output;
    const long long returned = numberAfter(host->output(), "returning at=");
    EXPECT_GE(returned, 0) << output;
    RecordProperty("exit_ms_" + std::to_string(++exits_), std::to_string(now - returned));
    return now - returned;
  }
  /// A start that sends what is waiting: runs until every name of `expected` came and no package waits.
  void startAndSend(const std::set<std::string>& expected, const std::string& prefix) {
    auto next = run({"start", "serve"}, kNoSettingsDownload);
    const bool sent = eventually(
        [&] {
          const auto names = sentEvents(prefix);
          return std::includes(names.begin(), names.end(), expected.begin(), expected.end()) &&
                 waitingEventFiles() == 0;
        },
        10.0);
    EXPECT_EQ(next->finish(), 0) << next->errors();
    EXPECT_TRUE(sent) << next->errors();
  }

  int exits_ = 0;
  const std::map<std::string, std::string> kNoSettingsDownload = {{"SettingsEndpoint", "http://127.0.0.1:9"}};
};

std::set<std::string> numbered(const std::string& prefix, long long count) {
  std::set<std::string> names;
  for (long long i = 0; i < count; ++i) names.insert(prefix + std::to_string(i));
  return names;
}

TEST_F(HostExit, EventsOfAThreadThatLogsUntilMainReturnsAreSentOnceOverTheExitAndTheNextStart) {
  for (int round = 0; round < runsOfEachCase(); ++round) {
    const std::string prefix = "thread" + std::to_string(round) + "-";
    SCOPED_TRACE(prefix);
    std::string output;
    EXPECT_LT(exitTime({"start", "events-thread:" + prefix, "wait:400"}, output), 3000) << output;
    const auto logged = numbered(prefix, numberAfter(output, "thread logged "));
    ASSERT_GT(logged.size(), 50u) << output;
    startAndSend(logged, prefix);
    // Those the thread went on to log after the return are not in `logged`: they come at most once too.
    expectEachEventOnceOrRepeatedWhole(sentEventPackages(prefix), logged, output);
  }
}

TEST_F(HostExit, APackageThatLeavesJustBeforeTheExitIsSentOnce) {
  for (int round = 0; round < runsOfEachCase(); ++round) {
    const std::string prefix = "late" + std::to_string(round) + "-";
    SCOPED_TRACE(prefix);
    std::string output;
    EXPECT_LT(exitTime({"start", "events:" + prefix + "a:50", "wait:1500", "events:" + prefix + "b:10"}, output),
              3000)
        << output;
    std::set<std::string> logged = numbered(prefix + "a", 50);
    logged.merge(numbered(prefix + "b", 10));
    startAndSend(logged, prefix);
    expectEachEventOnceOrRepeatedWhole(sentEventPackages(prefix), logged, output);
  }
}

// A server that takes the events and never answers holds no exit up; what it was sent goes again at the next
// start, whole, in the package it came in, and the exit said so.
TEST_F(HostExit, AServerThatNeverAnswersHoldsNoExitUp) {
  neverAnswer();
  std::string output;
  EXPECT_LT(exitTime({"start", "events-thread:silent-", "wait:400"}, output), 3000) << output;
  auto logged = numbered("silent-", numberAfter(output, "thread logged "));
  std::string outputs = output;
  EXPECT_LT(exitTime({"start", "events:silent-latea:50", "wait:300", "events:silent-lateb:10"}, output), 3000)
      << output;
  outputs += output;
  logged.merge(numbered("silent-latea", 50));
  logged.merge(numbered("silent-lateb", 10));
  answer();
  startAndSend(logged, "silent-");
  const auto sent = sentEventPackages("silent-");
  expectEachEventOnceOrRepeatedWhole(sent, logged, outputs);
  EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [](const auto& event) { return event.second.size() >= 2; }))
      << "none of what the silent server took came again";
}

}  // namespace
}  // namespace crashreporting::test
