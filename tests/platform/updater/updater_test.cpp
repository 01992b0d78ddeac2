// The updater on the virtual clock with a scripted feed transport: what each answer of the feed tells the
// user, the automatic checks, and the settings kept between launches.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/base/SharedInstance.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/updater/DM_SUUpdater.h"
#include "support/TestEnvironment.h"

namespace tilvane::updates {
namespace {

/// A transport whose answers the test gives, each on a later turn of the main loop as a real one does.
class FakeFeedSource final : public FeedSource {
 public:
  struct Fetch {
    std::string url;
    std::size_t maxBodyBytes = 0;
    double timeoutSeconds = 0;
    Completion done;
    std::shared_ptr<bool> alive;
  };

  std::unique_ptr<FeedRequest> fetch(const std::string& url, std::size_t maxBodyBytes, double timeoutSeconds,
                                     Completion done) override {
    auto request = std::make_unique<Request>();
    fetches.push_back({url, maxBodyBytes, timeoutSeconds, std::move(done), request->alive});
    return request;
  }

  /// Answers the latest fetch on the next loop turn, unless it was let go.
  void answer(FeedResponse response) {
    ASSERT_FALSE(fetches.empty());
    Fetch& last = fetches.back();
    dispatch::MainQueue::async([alive = std::weak_ptr<bool>(last.alive), done = last.done, response] {
      if (alive.lock()) done(response);
    });
  }
  bool latestCancelled() const { return !fetches.empty() && fetches.back().alive.use_count() == 1; }

  std::vector<Fetch> fetches;

 private:
  struct Request final : FeedRequest {
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  };
};

struct FakeAlertView final : UpdateAlertView {
  void show(const UpdateAlert& alert, std::function<void()> open) override {
    shown.push_back(alert);
    openLatest = std::move(open);
  }
  std::vector<UpdateAlert> shown;
  std::function<void()> openLatest;
};

std::string feedOffering(const std::string& version) {
  return "<rss version=\"2.0\"><channel><item><version>" + version +
         "</version><releaseNotesLink>https://tilvane.app/releases/" + version +
         "</releaseNotesLink><enclosure url=\"https://tilvane.app/download/" + version +
         ".tar.xz\"/></item></channel></rss>";
}

class UpdaterTest : public test::WorldTest {
 protected:
  std::unique_ptr<DM_SUUpdater> makeUpdater() {
    return std::make_unique<DM_SUUpdater>(source_, "1.2", &view_, [this](const std::string& url) {
      opened_.push_back(url);
      return true;
    });
  }
  /// A check the user asked for, answered with `response`.
  const UpdateCheckResult& checkAnswered(DM_SUUpdater& updater, FeedResponse response) {
    updater.checkForUpdates();
    EXPECT_TRUE(updater.isChecking());
    source_.answer(std::move(response));
    drain();
    EXPECT_FALSE(updater.isChecking());
    return *updater.lastResult();
  }

  FakeFeedSource source_;
  FakeAlertView view_;
  std::vector<std::string> opened_;
};

TEST_F(UpdaterTest, ANewerVersionIsOfferedWithAButtonToItsPage) {
  auto updater = makeUpdater();
  updater->setFeedURL("https://updates.example/feed.xml");
  const UpdateCheckResult& result = checkAnswered(*updater, {"", 200, feedOffering("1.10")});
  ASSERT_EQ(source_.fetches.size(), 1u);
  EXPECT_EQ(source_.fetches[0].url, "https://updates.example/feed.xml");
  EXPECT_EQ(source_.fetches[0].maxBodyBytes, 1024u * 1024u);
  EXPECT_EQ(source_.fetches[0].timeoutSeconds, 15.0);
  EXPECT_EQ(result.kind, UpdateCheckResult::Kind::updateAvailable);
  EXPECT_EQ(result.version, "1.10");
  EXPECT_EQ(result.page, "https://tilvane.app/releases/1.10");
  ASSERT_EQ(view_.shown.size(), 1u);
  EXPECT_FALSE(view_.shown[0].openTitle.empty());
  EXPECT_NE(view_.shown[0].text.find("1.10"), std::string::npos);
  EXPECT_TRUE(opened_.empty()) << "nothing is opened, let alone downloaded, until the user asks";
  view_.openLatest();
  EXPECT_EQ(opened_, std::vector<std::string>{"https://tilvane.app/releases/1.10"});
}

TEST_F(UpdaterTest, TheSameOrAnOlderVersionIsUpToDate) {
  auto updater = makeUpdater();
  updater->setFeedURL("https://updates.example/feed.xml");
  EXPECT_EQ(checkAnswered(*updater, {"", 200, feedOffering("1.2.0")}).kind, UpdateCheckResult::Kind::upToDate);
  EXPECT_EQ(checkAnswered(*updater, {"", 200, feedOffering("1.1.9")}).kind, UpdateCheckResult::Kind::upToDate);
  ASSERT_EQ(view_.shown.size(), 2u);
  EXPECT_TRUE(view_.shown[1].openTitle.empty());
}

TEST_F(UpdaterTest, EveryBadAnswerIsACouldNotCheck) {
  auto updater = makeUpdater();
  updater->setFeedURL("https://updates.example/feed.xml");
  const FeedResponse answers[] = {
      {"connection refused", 0, ""},
      {"timed out after 15 s", 0, ""},
      {"", 404, "<html>Not found</html>"},
      {"", 500, feedOffering("9.0")},
      {"", 200, "<rss><channel><item><version>9.0"},
      {"", 200, std::string(5 * 1024 * 1024, 'x')},
      {"", 200, "{\"version\":\"9.0\"}"},
      {"", 200, feedOffering("nine")},
  };
  for (const FeedResponse& answer : answers) {
    const UpdateCheckResult& result = checkAnswered(*updater, answer);
    EXPECT_EQ(result.kind, UpdateCheckResult::Kind::failed) << answer.error << answer.status;
    EXPECT_FALSE(result.problem.empty());
  }
  ASSERT_EQ(view_.shown.size(), std::size(answers));
  for (const UpdateAlert& alert : view_.shown) EXPECT_TRUE(alert.openTitle.empty());
  EXPECT_NE(view_.shown[2].text.find("404"), std::string::npos);
  EXPECT_NE(view_.shown[5].text.find("larger than"), std::string::npos);
}

TEST_F(UpdaterTest, OneCheckAtATimeAndNoneWithoutAFeed) {
  auto updater = makeUpdater();
  updater->checkForUpdates();
  EXPECT_EQ(updater->lastResult()->kind, UpdateCheckResult::Kind::failed) << "no feed set yet";
  EXPECT_TRUE(source_.fetches.empty());
  updater->setFeedURL("https://updates.example/feed.xml");
  updater->checkForUpdates();
  updater->checkForUpdates();
  EXPECT_EQ(source_.fetches.size(), 1u);
  updater.reset();
  EXPECT_TRUE(source_.latestCancelled()) << "an updater that goes lets its request go";
}

TEST_F(UpdaterTest, AutomaticChecksFollowTheFlagAndTheIntervalAndSpeakOnlyOfNewVersions) {
  auto updater = makeUpdater();
  updater->setFeedURL("https://updates.example/feed.xml");
  advance(7 * 86400.0);
  EXPECT_TRUE(source_.fetches.empty()) << "off by default";

  updater->setAutomaticallyChecksForUpdates(true);
  updater->setUpdateCheckInterval(86400.0);
  advance(59.0);
  EXPECT_TRUE(source_.fetches.empty());
  advance(1.0);
  ASSERT_EQ(source_.fetches.size(), 1u) << "the first a minute after they were turned on";
  source_.answer({"", 200, feedOffering("1.2")});
  drain();
  EXPECT_TRUE(view_.shown.empty()) << "an automatic check that finds nothing new says nothing";

  advance(86400.0 - 1.0);
  EXPECT_EQ(source_.fetches.size(), 1u);
  advance(1.0);
  ASSERT_EQ(source_.fetches.size(), 2u) << "one interval after the last";
  source_.answer({"connection refused", 0, ""});
  drain();
  EXPECT_TRUE(view_.shown.empty());

  advance(86400.0);
  ASSERT_EQ(source_.fetches.size(), 3u);
  source_.answer({"", 200, feedOffering("2.0")});
  drain();
  ASSERT_EQ(view_.shown.size(), 1u) << "a newer version is told";
  EXPECT_TRUE(opened_.empty());

  updater->setAutomaticallyChecksForUpdates(false);
  advance(30 * 86400.0);
  EXPECT_EQ(source_.fetches.size(), 3u);
  EXPECT_FALSE(updater->isAutomaticCheckScheduled());
}

TEST_F(UpdaterTest, SettingsAreKeptBetweenLaunchesAndTheNextCheckFollowsTheLastOne) {
  {
    auto updater = makeUpdater();
    EXPECT_FALSE(updater->automaticallyChecksForUpdates());
    EXPECT_EQ(updater->updateCheckInterval(), 86400.0);
    updater->setAutomaticallyChecksForUpdates(true);
    updater->setAutomaticallyDownloadsUpdates(false);
    updater->setUpdateCheckInterval(2 * 86400.0);
    updater->setFeedURL("https://updates.example/feed.xml");
    advance(60.0);
    source_.answer({"", 200, feedOffering("1.2")});
    drain();
  }
  SharedInstances::resetAll();  // a new launch reads the settings file afresh
  advance(86400.0);
  auto updater = makeUpdater();
  EXPECT_TRUE(updater->automaticallyChecksForUpdates());
  EXPECT_FALSE(updater->automaticallyDownloadsUpdates());
  EXPECT_EQ(updater->updateCheckInterval(), 2 * 86400.0);
  ASSERT_TRUE(updater->lastUpdateCheckDate());
  updater->setFeedURL("https://updates.example/feed.xml");
  advance(86400.0 - 1.0);
  EXPECT_EQ(source_.fetches.size(), 1u);
  advance(1.0);
  EXPECT_EQ(source_.fetches.size(), 2u) << "two days after the last check, across the launch";
}

TEST_F(UpdaterTest, StoredNonsenseIntervalsAreBroughtWithinBounds) {
  auto updater = makeUpdater();
  defaults::UserDefaults& stored = defaults::UserDefaults::standard();
  stored.setDouble("updaterCheckInterval", -5);
  EXPECT_EQ(updater->updateCheckInterval(), DM_SUUpdater::kMinimumCheckInterval);
  stored.setString("updaterCheckInterval", "soon");
  EXPECT_EQ(updater->updateCheckInterval(), DM_SUUpdater::kMinimumCheckInterval);
  stored.setDouble("updaterCheckInterval", 1e300);
  EXPECT_EQ(updater->updateCheckInterval(), DM_SUUpdater::kMaximumCheckInterval);
  updater->setUpdateCheckInterval(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(updater->updateCheckInterval(), DM_SUUpdater::kMaximumCheckInterval) << "NaN is not stored";
}

}  // namespace
}  // namespace tilvane::updates
