#include <cstdlib>
#include <string>

#include "crashreporting/EndToEnd/EndToEnd.h"

// A worker forked without exec, and copies of one host that start together and share its cached settings.

namespace crashreporting::test {
namespace {

using tilvane::test::occurrences;

constexpr const char* kSettingsPath = "/spi/v2/platforms/mac/apps/org.example.crashhost/settings";
constexpr const char* kNotRecordedInChild = "forked without exec";

/// The "child ended <status> ms=<time>" line of a fork-exit step: the child's exit status (-1: it had not ended
/// after 10 s) and how long the parent waited for it.
std::pair<int, double> childEnded(const std::string& output) {
  const auto at = output.find("child ended ");
  if (at == std::string::npos) return {-2, 0};
  const int status = std::atoi(output.c_str() + at + 12);
  const auto ms = output.find("ms=", at);
  return {status, ms == std::string::npos ? 0 : std::atof(output.c_str() + ms + 3)};
}

TEST_F(EndToEnd, AChildForkedWithoutExecEndsAtExitAndTheParentsLaterCrashIsReportedOnce) {
  auto clean = run({"start", "wait:200", "fork-exit", "wait:50"});
  EXPECT_EQ(clean->wait(), 0) << clean->errors();
  const auto [status, ms] = childEnded(clean->output());
  EXPECT_EQ(status, 0) << clean->output() << clean->errors();
  EXPECT_LT(ms, 2000) << clean->output();
  // The child's event and custom key are not recorded: said once.
  EXPECT_EQ(occurrences(clean->errors(), kNotRecordedInChild), 1u) << clean->errors();

  auto crashed = run({"start", "wait:200", "fork-exit", "crash"});
  const int crashStatus = crashed->wait();
  EXPECT_TRUE(WIFSIGNALED(crashStatus) && WTERMSIG(crashStatus) == SIGILL) << crashStatus << crashed->errors();
  EXPECT_EQ(childEnded(crashed->output()).first, 0) << crashed->output() << crashed->errors();
  EXPECT_LT(childEnded(crashed->output()).second, 2000) << crashed->output();

  auto next = run({"start", "serve"});
  ASSERT_TRUE(eventually([&] { return reportRequests() >= 1 && entries(store() / "prepared").empty(); }, 5.0))
      << next->errors();
  EXPECT_EQ(next->finish(), 0) << next->errors();
  EXPECT_EQ(reportRequests(), 1u);
}

// Each copy downloads the settings and replaces the cached file; no copy takes another's download.
TEST_F(EndToEnd, FiveCopiesStartedTogetherEachSaveTheirSettingsAndSendEachWaitingEventOnce) {
  // Held a moment, so that the five downloads end together.
  auto settings = tilvane::test::ScriptedReply::ok(R"({"analytics":{"url":")" + server_.url("/events") + "\"}}");
  settings.delay = 0.2;
  server_.setReply(kSettingsPath, settings);
  server_.setReply("/events", tilvane::test::ScriptedReply::ok("{}"));
  const std::map<std::string, std::string> endpoint = {{"SettingsEndpoint", server_.url("")}};
  std::set<std::string> names;
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const auto waiting = writeWaitingEvents("r" + std::to_string(round), 2, 3);
    names.insert(waiting.begin(), waiting.end());
    std::vector<std::unique_ptr<HostProcess>> copies;
    for (int copy = 0; copy < 5; ++copy) copies.push_back(run({"--debug", "start", "serve"}, endpoint));
    const auto downloaded = [&] {
      for (const auto& copy : copies) {
        const std::string errors = copy->errors();
        if (errors.find("[Zizozu] settings downloaded successfully") == std::string::npos &&
            errors.find("[Zizozu] Unable to complete settings download") == std::string::npos &&
            errors.find("[Zizozu] failed to download settings") == std::string::npos)
          return false;
      }
      return true;
    };
    const auto sent = [&] {
      const auto events = sentWaitingEvents();
      return std::includes(events.begin(), events.end(), waiting.begin(), waiting.end()) &&
             waitingEventFiles() == 0;
    };
    const bool done = eventually([&] { return downloaded() && sent(); }, 10.0);
    std::string errors;
    for (const auto& copy : copies) {
      EXPECT_EQ(copy->finish(), 0) << copy->errors();
      errors += copy->errors();
    }
    ASSERT_TRUE(done) << errors;
    EXPECT_EQ(errors.find("[Zizozu] Unable to complete settings download"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("[Zizozu] failed to download settings"), std::string::npos) << errors;
  }
  const auto sent = sentWaitingEvents();
  for (const auto& name : names) EXPECT_EQ(sent.count(name), 1u) << name;
  EXPECT_EQ(sent.size(), names.size());
}

// A copy that has no settings to send with lets the waiting events go to the copies that have.
TEST_F(EndToEnd, EventsSweptByACopyWithoutSettingsAreSentByCopiesStartedAfterItWhileItRuns) {
  const std::set<std::string> names = writeWaitingEvents("late", 6, 10);
  server_.setReply(kSettingsPath,
                   tilvane::test::ScriptedReply::ok(R"({"analytics":{"url":")" + server_.url("/events") + "\"}}"));
  server_.setReply("/events", tilvane::test::ScriptedReply::ok("{}"));
  auto first = run({"start", "serve"}, {{"SettingsEndpoint", "http://127.0.0.1:9"}});
  ASSERT_TRUE(eventually(
      [&] { return first->errors().find("[Zizozu] failed to download settings") != std::string::npos; }, 10.0))
      << first->errors();
  const std::map<std::string, std::string> endpoint = {{"SettingsEndpoint", server_.url("")}};
  auto second = run({"start", "serve"}, endpoint);
  auto third = run({"start", "serve"}, endpoint);
  const bool done = eventually(
      [&] {
        const auto sent = sentWaitingEvents();
        return std::set(sent.begin(), sent.end()) == names && waitingEventFiles() == 0;
      },
      10.0);
  const std::string errors = first->errors() + second->errors() + third->errors();
  EXPECT_TRUE(done) << errors;
  EXPECT_EQ(second->finish(), 0) << second->errors();
  EXPECT_EQ(third->finish(), 0) << third->errors();
  EXPECT_EQ(first->finish(), 0) << first->errors();  // it ran until now
  const auto sent = sentWaitingEvents();
  for (const auto& name : names) EXPECT_EQ(sent.count(name), 1u) << name;
  EXPECT_EQ(sent.size(), names.size());
}

}  // namespace
}  // namespace crashreporting::test
