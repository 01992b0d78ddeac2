#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>

#include "crashreporting/EndToEnd/EndToEnd.h"
#include "crashreporting/support/Immutable.h"

// What the processes sharing a store leave to each other, and what stands where the library writes its files.

namespace crashreporting::test {
namespace {

/// Ends a process that is not this one's child when it goes.
class Killed {
 public:
  explicit Killed(pid_t pid) : pid_(pid) {}
  ~Killed() {
    if (pid_ > 0) kill(pid_, SIGKILL);
  }
  Killed(const Killed&) = delete;
  Killed& operator=(const Killed&) = delete;

 private:
  pid_t pid_;
};

TEST_F(EndToEnd, ACrashedHostsReportIsSentAtTheNextStartWhileTheChildItForkedLives) {
  auto crashed = run({"start", "wait:300", "fork", "crash"});
  const int status = crashed->wait();
  ASSERT_TRUE(WIFSIGNALED(status)) << status << crashed->errors();
  const std::string output = crashed->output();
  const auto at = output.find("child ");
  ASSERT_NE(at, std::string::npos) << output;
  const pid_t child = static_cast<pid_t>(std::atoi(output.c_str() + at + 6));
  const Killed ends(child);
  ASSERT_EQ(kill(child, 0), 0) << "the child must still live for the next start";

  auto host = run({"start", "serve"});
  ASSERT_TRUE(eventually([&] { return reportRequests() >= 1; }, 5.0)) << host->errors();
  ASSERT_TRUE(eventually([&] { return entries(store() / "prepared").empty(); }, 5.0)) << host->errors();
  EXPECT_EQ(host->finish(), 0) << host->errors();
  EXPECT_EQ(reportRequests(), 1u);
  EXPECT_EQ(kill(child, 0), 0);
}

TEST_F(EndToEnd, AClaimsFileThatCannotBeUsedIsSetAsideSoThreeCopiesSendEachReportOnce) {
  fs::create_directories(store() / ".claims" / "inside");
  const std::set<std::string> ids = writeWaitingReports(20);
  // A reply that takes a while keeps the copies at work on the store at once.
  auto slow = tilvane::test::ScriptedReply::ok("{}");
  slow.delay = 0.02;
  server_.setReply(kReportsPath, slow);

  std::vector<std::unique_ptr<HostProcess>> hosts;
  for (int copy = 0; copy < 3; ++copy) hosts.push_back(run({"start", "serve"}));
  const auto settled = [&] {
    const auto sent = sentReportIds();
    return std::set(sent.begin(), sent.end()) == ids && entries(store() / "prepared").empty() &&
           entries(store() / "processing").empty();
  };
  std::string errors;
  const bool done = eventually(settled, 10.0);
  for (const auto& host : hosts) {
    EXPECT_EQ(host->finish(), 0) << host->errors();
    errors += host->errors();
  }
  ASSERT_TRUE(done) << errors;
  const auto sent = sentReportIds();
  for (const auto& id : ids) EXPECT_EQ(sent.count(id), 1u) << id;
  EXPECT_EQ(sent.size(), ids.size());
  EXPECT_NE(errors.find("The claims file '" + (store() / ".claims").string() + "' cannot be used"), std::string::npos)
      << errors;
  EXPECT_TRUE(fs::is_regular_file(store() / ".claims"));
}

// A FIFO without a reader blocks an open for writing for ever; a folder refuses it for good.
TEST_F(EndToEnd, WhatStandsWhereTheLibraryWritesNeitherBlocksTheHostNorKeepsTheReport) {
  struct Case {
    const char* place;  // in the host's cache folder; "<report>" is the crashed run's folder
    bool fifo;          // else a folder
    const char* logged;
  };
  for (const Case& c : {Case{"v3/launchmarker", true, "The launch marker '"},
                        Case{"v3/<report>/.package.partial", true, "'.package.partial' of report '"},
                        Case{"v3/<report>/.package.partial", false, "'.package.partial' of report '"},
                        Case{"v3/<report>/.package.new", true, "'.package.new' of report '"},
                        Case{"v3/<report>/signal.vrdrecord.gz", true, "'signal.vrdrecord.gz' of report '"},
                        Case{"analytics/v2/crash_metadata.tmp", true, "[Vizuzod] WARNING: damaged '"}}) {
    SCOPED_TRACE(std::string(c.place) + (c.fifo ? " (FIFO)" : " (folder)"));
    fs::remove_all(temp_.path() / "cache");
    const std::size_t before = reportRequests();
    const std::string crashed = crashedRun();
    std::string place = c.place;
    if (const auto at = place.find("<report>"); at != std::string::npos) place.replace(at, 8, "active/" + crashed);
    const fs::path path = store().parent_path() / place;
    fs::remove(path);
    if (c.fifo) {
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    } else {
      fs::create_directories(path / "inside");
    }

    auto host = run({"start", "serve"});
    const bool sent = eventually([&] { return reportRequests() > before && entries(store() / "prepared").empty(); },
                                 5.0);
    ASSERT_TRUE(host->finishWithin(10.0)) << "the host blocked: " << host->errors();
    EXPECT_TRUE(sent) << host->errors();
    EXPECT_EQ(host->wait(), 0) << host->errors();
    EXPECT_EQ(reportRequests(), before + 1) << host->errors();
    EXPECT_NE(host->errors().find(c.logged), std::string::npos) << host->errors();
    EXPECT_TRUE(entries(store() / "prepared").empty());
    EXPECT_TRUE(entries(store() / "processing").empty());
  }
}

TEST_F(EndToEnd, EventsThatCannotBeRemovedOnceSentAreNotSentAgainAtTheNextStart) {
  const std::set<std::string> names = writeWaitingEvents("event", 3, 3);
  fs::create_directories(settingsFile().parent_path());
  std::ofstream(settingsFile()) << R"({"analytics":{"url":")" << server_.url("/events") << "\"}}";
  const Immutable readOnly(events());
  if (!readOnly.set()) GTEST_SKIP() << "this file system keeps no immutable flag";

  for (int start = 0; start < 2; ++start) {
    auto host = run({"start", "serve"});
    const bool said = eventually([&] { return host->errors().find("cannot be removed once sent") != std::string::npos; },
                                 5.0);
    EXPECT_EQ(host->finish(), 0) << host->errors();
    EXPECT_TRUE(said) << host->errors();
  }
  const auto sent = sentWaitingEvents();
  for (const auto& name : names) EXPECT_LE(sent.count(name), 1u) << name;
}

}  // namespace
}  // namespace crashreporting::test
