#include <map>
#include <string>

#include "crashreporting/EndToEnd/EndToEnd.h"

// A run short of file descriptors leaves what waits where it is: the next start sends every report and event once.

namespace crashreporting::test {
namespace {

using tilvane::test::occurrences;

TEST_F(EndToEnd, ARunShortOfDescriptorsSetsNothingAsideAndTheNextStartSendsEachReportAndEventOnce) {
  fs::create_directories(settingsFile().parent_path());
  std::ofstream(settingsFile()) << R"({"analytics":{"url":")" << server_.url("/events")
                                << R"(","max_byte_size_per_file":1000}})";
  server_.setReply("/events", tilvane::test::ScriptedReply::ok("{}"));
  const std::map<std::string, std::string> noDownload = {{"SettingsEndpoint", "http://127.0.0.1:9"}};
  // From a limit at which not even the events log opens to one at which only some opens fail.
  const std::vector<int> limits = {6, 8, 12, 16, 24};
  for (std::size_t round = 0; round < limits.size(); ++round) {
    const int limit = limits[round];
    const std::string tag = "n" + std::to_string(limit);
    SCOPED_TRACE(tag);
    // The same five identifiers each round: each is to have come once more, or twice where the short run's exit
    // cut its upload unanswered (said).
    const std::set<std::string> reports = writeWaitingReports(5);
    const auto before = sentReportIds();
    bool reportRepeatSaid = false;
    const auto reportsSentOnce = [&] {
      const auto ids = sentReportIds();
      return std::all_of(reports.begin(), reports.end(), [&](const auto& id) {
        const std::size_t more = ids.count(id) - before.count(id);
        return more == 1 || (reportRepeatSaid && more == 2);
      });
    };
    const std::set<std::string> waiting = writeWaitingEvents(tag, 3, 10);
    const std::string own = "own-" + tag + "-";
    auto short_ =
        run({"nofile:" + std::to_string(limit), "start", "events:" + own + ":20", "wait:800"}, noDownload);
    EXPECT_EQ(short_->finish(), 0) << short_->errors();
    const std::string shortErrors = short_->errors();
    reportRepeatSaid = shortErrors.find("A report upload was not answered before the exit") != std::string::npos;

    auto next = run({"start", "serve"}, noDownload);
    // The run's own events come too (or how many were dropped was said).
    const auto settled = [&] {
      const auto sent = sentWaitingEvents();
      const auto active = entries(store() / "active");  // the running host's own folder is there too
      const bool ownSent = sentEvents(own).size() >= 20 || shortErrors.find("dropped") != std::string::npos;
      return reportsSentOnce() && ownSent &&
             std::includes(sent.begin(), sent.end(), waiting.begin(), waiting.end()) && waitingEventFiles() == 0 &&
             entries(store() / "prepared").empty() && entries(store() / "processing").empty() &&
             std::none_of(active.begin(), active.end(),
                          [](const auto& name) { return name.starts_with("waiting-"); });
    };
    const bool done = eventually(settled, 10.0);
    EXPECT_EQ(next->finish(), 0) << next->errors();
    EXPECT_TRUE(reportsSentOnce());
    const std::string errors = shortErrors + next->errors();
    const auto listing = [&](const fs::path& folder) {
      std::string names = folder.filename().string() + ":";
      for (const auto& name : entries(folder)) names += " " + name;
      return names + "\n";
    };
    ASSERT_TRUE(done) << errors << listing(store() / "prepared") << listing(store() / "active")
                      << listing(store() / "processing") << listing(events())
                      << testing::PrintToString(sentReportIds()) << " reports, " << sentWaitingEvents().size()
                      << " events";
    EXPECT_EQ(occurrences(errors, "Damaged"), 0u) << errors;
    EXPECT_EQ(occurrences(errors, "damaged"), 0u) << errors;
    EXPECT_TRUE(entries(store() / "damaged").empty());
    EXPECT_TRUE(entries(events().parent_path() / "damaged").empty());
    // Each once, or again whole where the short run's exit cut an upload unanswered (said).
    expectEachEventOnceOrRepeatedWhole(sentEventPackages("waiting-" + tag + "-"), waiting, shortErrors);
    // The run's own events went, or how many were dropped was said.
    const auto ownSent = sentEventPackages(own);
    expectEachEventOnceOrRepeatedWhole(ownSent, {}, shortErrors);
    if (ownSent.size() < 20u) {
      EXPECT_NE(shortErrors.find("dropped"), std::string::npos) << ownSent.size() << errors;
    }
  }
}

// The start after a crash is short of descriptors: the crash's folder cannot be listed or read whole then, and is
// neither packaged without its files nor removed; the next start sends it once, whole.
TEST_F(EndToEnd, ACrashFollowedByAStartShortOfDescriptorsReachesTheServerOnceAndWhole) {
  fs::create_directories(settingsFile().parent_path());
  std::ofstream(settingsFile()) << R"({"analytics":{"url":")" << server_.url("/events") << R"("}})";
  server_.setReply("/events", tilvane::test::ScriptedReply::ok("{}"));
  const std::map<std::string, std::string> noDownload = {{"SettingsEndpoint", "http://127.0.0.1:9"}};
  for (std::size_t round = 1; round <= 3; ++round) {
    SCOPED_TRACE(round);
    const std::string crashed = crashedRun();
    // Starts short by more and by less: each meets the shortage at another step of the report's way.
    std::string shortErrors;
    for (const int limit : {9, 10, 11, 12}) {
      auto short_ = run({"nofile:" + std::to_string(limit), "start",
                         "events:short" + std::to_string(round) + "-" + std::to_string(limit) + "-:5", "wait:500"},
                        noDownload);
      EXPECT_EQ(short_->finish(), 0) << short_->errors();
      shortErrors += short_->errors();
    }
    auto next = run({"start", "serve"}, noDownload);
    const bool sent = eventually(
        [&] {
          return reportRequests() >= round && entries(store() / "prepared").empty() &&
                 entries(store() / "processing").empty() && !fs::exists(store() / "active" / crashed);
        },
        10.0);
    EXPECT_EQ(next->finish(), 0) << next->errors();
    const std::string errors = shortErrors + next->errors();
    ASSERT_TRUE(sent) << errors;
    EXPECT_EQ(reportRequests(), round) << errors;
    std::map<std::string, std::string> parts;
    const auto reports = received(kReportsPath);
    for (const auto& part : reports.back()) parts[part.name] = part.body;
    EXPECT_EQ(parts["report_id"], crashed) << errors;
    EXPECT_EQ(parts["api_key"], "k");
    for (const char* name : {"signal.vrdrecord", "metadata.vrdrecord", "binary_images.vrdrecord"})
      EXPECT_FALSE(gunzip(parts[name]).value_or("").empty()) << name << "\n" << errors;
    EXPECT_EQ(occurrences(errors, "amaged"), 0u) << errors;
    EXPECT_TRUE(entries(store() / "damaged").empty());
  }
}

// A report package whose upload is answered while the process holds no free descriptor is removed all the same (a
// file needs none to be unlinked): the next start does not send it again.
TEST_F(EndToEnd, AReportAnsweredWhileNoDescriptorIsFreeIsRemovedAndNotSentAgain) {
  const std::string crashed = crashedRun();
  auto slow = tilvane::test::ScriptedReply::ok("{}");
  slow.delay = 3.0;
  server_.setReply(kReportsPath, slow);
  const std::map<std::string, std::string> noDownload = {{"SettingsEndpoint", "http://127.0.0.1:9"}};
  // A limit of its own keeps the number held small, whatever the limit the tests run under.
  auto held = run({"nofile:256", "start", "hold-files:5000", "serve"}, noDownload);
  ASSERT_TRUE(eventually([&] { return reportRequests() == 1; }, 10.0)) << held->errors();
  ASSERT_TRUE(held->say("hold"));  // the answer comes while every descriptor is taken
  ASSERT_TRUE(eventually([&] { return held->output().find("held ") != std::string::npos; }, 20.0));
  EXPECT_EQ(held->finish(), 0) << held->errors();
  EXPECT_GT(std::atoi(held->output().c_str() + held->output().find("held ") + 5), 0);
  EXPECT_TRUE(entries(store() / "prepared").empty()) << held->errors();

  server_.setReply(kReportsPath, tilvane::test::ScriptedReply::ok("{}"));
  auto next = run({"start", "wait:1000"}, noDownload);
  EXPECT_EQ(next->finish(), 0) << next->errors();
  EXPECT_EQ(reportRequests(), 1u) << held->errors() << next->errors();
  EXPECT_EQ(received(kReportsPath).at(0).empty(), false);
  EXPECT_FALSE(fs::exists(store() / "active" / crashed));
}

}  // namespace
}  // namespace crashreporting::test
