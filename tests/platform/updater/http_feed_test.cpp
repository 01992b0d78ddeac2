// The updater against a feed served on 127.0.0.1 through the program's HTTP client: what each answer of a real
// server tells the user.
#include <gtest/gtest.h>

#include <string>

#include "platform/updater/DM_SUUpdater.h"
#include "platform/updater/HttpFeedSource.h"
#include "support/TestEnvironment.h"
#include "support/http/AwaitCompletions.h"
#include "support/http/TestHttpServer.h"

namespace tilvane::updates {
namespace {

std::string feedOffering(const std::string& version) {
  return "<rss version=\"2.0\"><channel><item><version>" + version + "</version><releaseNotesLink>http://127.0.0.1/" +
         version + "</releaseNotesLink><enclosure url=\"http://127.0.0.1/" + version +
         ".tar.xz\"/></item></channel></rss>";
}

class HttpFeedTest : public test::WorldTest {
 protected:
  /// One check of the feed at `url`, answered by the server; what it found.
  UpdateCheckResult::Kind check(const std::string& url) {
    DM_SUUpdater updater(source_, "1.2", nullptr, [](const std::string&) { return true; });
    updater.setFeedURL(url);
    updater.checkForUpdates();
    EXPECT_TRUE(await_.runUntil([&] { return updater.lastResult().has_value(); })) << url;
    return updater.lastResult() ? updater.lastResult()->kind : UpdateCheckResult::Kind::failed;
  }

  test::TestHttpServer server_;
  test::AwaitCompletions await_{loop()};
  net::HttpClient http_{await_.executor()};
  HttpFeedSource source_{http_};
};

TEST_F(HttpFeedTest, EachAnswerOfTheServerIsToldAsItIs) {
  ASSERT_TRUE(server_.started()) << server_.error();
  using Kind = UpdateCheckResult::Kind;
  server_.queueReply("/feed.xml", test::ScriptedReply::ok(feedOffering("1.10"), "application/rss+xml"));
  EXPECT_EQ(check(server_.url("/feed.xml")), Kind::updateAvailable);
  server_.queueReply("/feed.xml", test::ScriptedReply::ok(feedOffering("1.2"), "application/rss+xml"));
  EXPECT_EQ(check(server_.url("/feed.xml")), Kind::upToDate);

  EXPECT_EQ(check(server_.url("/missing.xml")), Kind::failed) << "404";
  server_.queueReply("/feed.xml", test::ScriptedReply::ok("<rss><channel><item><version>", "application/rss+xml"));
  EXPECT_EQ(check(server_.url("/feed.xml")), Kind::failed) << "malformed";
  server_.queueReply("/feed.xml",
                     test::ScriptedReply::ok(feedOffering("9") + std::string(5 << 20, ' '), "application/rss+xml"));
  EXPECT_EQ(check(server_.url("/feed.xml")), Kind::failed) << "5 MiB, over the cap";
  EXPECT_EQ(check("http://127.0.0.1:9/feed.xml"), Kind::failed) << "a refused port";
  EXPECT_EQ(server_.requests().size(), 5u);
}

}  // namespace
}  // namespace tilvane::updates
