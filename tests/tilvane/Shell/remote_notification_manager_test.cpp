// The announcement feed against the local test server: what is published, what is stored, which warning is
// logged for each kind of bad reply, and a fuzz run of the reply handler.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "Shell/Web/RemoteNotificationManager.h"
#include "platform/defaults/UserDefaults.h"
#include "support/TestEnvironment.h"
#include "support/http/AwaitCompletions.h"
#include "support/http/TestHttpServer.h"

namespace tilvane::test {
namespace {

const std::string kPrefix = "\u26A0\uFE0F Remote Notification Request -> Error: ";

class RemoteNotificationTest : public WorldTest {
 protected:
  RemoteNotificationTest() {
    AppBridge::remoteNotification()
        .subscribe([this](const RemoteNotification& n) { published_.push_back(n.title + "|" + n.url); })
        .disposed(bag_);
  }

  /// One launch's request of the feed at `path`, run until its reply was handled.
  void launch(const std::string& path, RemoteNotificationManager::Options options = {}) {
    RemoteNotificationManager manager(client_, server_.url(path), options);
    const std::size_t before = server_.requestCount();
    manager.requestAfter(10.0);
    advance(9.9);
    EXPECT_EQ(server_.requestCount(), before) << "asked before its 10 s";
    advance(0.1);
    // Handled once the client has nothing left in flight: a line was logged, or the reply was taken silently.
    ASSERT_TRUE(inbox_.runUntil([&] { return client_.pendingCount() == 0; })) << path;
  }
  std::vector<std::string> warnings() const {
    std::vector<std::string> found;
    for (const std::string& line : log_.lines())
      if (line.rfind(kPrefix, 0) == 0) found.push_back(line.substr(kPrefix.size()));
    return found;
  }
  std::optional<std::string> marker(const std::string& id) {
    return defaults::UserDefaults::standard().stringForKey("remoteNotification-" + id);
  }

  LogManager::Capture log_;
  TestHttpServer server_;
  AwaitCompletions inbox_{loop()};
  net::HttpClient client_{inbox_.executor()};
  std::vector<std::string> published_;
  rx::DisposeBag bag_;
};

TEST_F(RemoteNotificationTest, ANewMessageIsPublishedOnceAndMarkedRead) {
  const std::string link = server_.url("/x");
  server_.setReply("/notification/remote",
                   ScriptedReply::ok(R"({"id":"X","title":"T","url":")" + link + R"(","extra":[1]})"));
  launch("/notification/remote");
  EXPECT_EQ(published_, std::vector<std::string>{"T|" + link});
  EXPECT_EQ(marker("X"), "read");
  EXPECT_TRUE(warnings().empty());

  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].path, "/notification/remote");
  EXPECT_TRUE(std::regex_match(requests[0].query, std::regex(R"(^\d{10}(\.\d{1,5})?$)"))) << requests[0].query;

  launch("/notification/remote");  // the next launch
  EXPECT_EQ(server_.requestCount(), 2u);
  EXPECT_EQ(published_.size(), 1u);
  EXPECT_TRUE(warnings().empty());

  // Any string under the marker suppresses the message, not only "read".
  defaults::UserDefaults::standard().setString("remoteNotification-Z", "seen elsewhere");
  server_.setReply("/z", ScriptedReply::ok(R"({"id":"Z","title":"T","url":"https://a.b/"})"));
  launch("/z");
  EXPECT_EQ(published_.size(), 1u);
  EXPECT_EQ(marker("Z"), "seen elsewhere");
}

TEST_F(RemoteNotificationTest, EveryBadReplyStopsWithItsWarningAndPublishesNothing) {
  struct Case {
    std::string path;
    ScriptedReply reply;
    std::string warning;  // "" = no line at all; a trailing "*" = a line starting so
  };
  ScriptedReply huge = ScriptedReply::ok(std::string(20 * 1024 * 1024, ' '));
  const std::vector<Case> cases = {
      {"/304", ScriptedReply::withStatus(304), "304"},
      {"/500", ScriptedReply::withStatus(500, R"({"id":"E","title":"T","url":"https://a.b/"})"), "500"},
      {"/empty", ScriptedReply::ok(""), "json serialization failed"},
      {"/html", ScriptedReply::ok("<html>", "text/html"), "json serialization failed"},
      {"/object", ScriptedReply::ok("{}"), ""},
      {"/noid", ScriptedReply::ok(R"({"title":"T","url":"https://a.b/"})"), ""},
      {"/array", ScriptedReply::ok("[1,2]"), "json is not an object"},
      {"/string", ScriptedReply::ok(R"("id")"), "json is not an object"},
      {"/numberid", ScriptedReply::ok(R"({"id":5})"), "\"id\" is not a string"},
      {"/notitle", ScriptedReply::ok(R"({"id":"A","url":"https://a.b/"})"), "\"title\" is missing or not a string"},
      {"/badurl", ScriptedReply::ok(R"({"id":"B","title":"T","url":null})"), "\"url\" is missing or not a string"},
      {"/huge", huge, "Optional(too large: *"},
      {"/hangup", ScriptedReply::closed(), "Optional(transport: *"},
      {"/endless", ScriptedReply::neverEnding(), "Optional(timed out: *"},
  };
  for (const Case& c : cases) {
    server_.setReply(c.path, c.reply);
    log_.clear();
    // Only the endless reply may meet the time limit: a busy machine takes its time over the huge one, which must
    // stop at the size limit.
    launch(c.path, {.timeout = c.path == "/endless" ? 0.5 : 30.0});
    const std::vector<std::string> lines = warnings();
    if (c.warning.empty()) {
      EXPECT_TRUE(lines.empty()) << c.path << ": " << (lines.empty() ? "" : lines[0]);
    } else if (c.warning.back() == '*') {
      ASSERT_EQ(lines.size(), 1u) << c.path;
      EXPECT_EQ(lines[0].rfind(c.warning.substr(0, c.warning.size() - 1), 0), 0u) << c.path << ": " << lines[0];
    } else {
      EXPECT_EQ(lines, std::vector<std::string>{c.warning}) << c.path;
    }
  }
  for (const char* id : {"E", "A", "B", "5"}) EXPECT_FALSE(marker(id)) << id;
  EXPECT_TRUE(published_.empty());

  // Nothing listens on the port of a server that has gone.
  std::string closedPort;
  {
    TestHttpServer gone;
    closedPort = gone.url("/feed");
  }
  log_.clear();
  RemoteNotificationManager manager(client_, closedPort);
  manager.request();
  ASSERT_TRUE(inbox_.runUntil([&] { return client_.pendingCount() == 0; }));
  ASSERT_EQ(warnings().size(), 1u);
  EXPECT_EQ(warnings()[0].rfind("Optional(could not connect: ", 0), 0u) << warnings()[0];
}

// The id names a settings key: one a settings file cannot hold is refused where it arrives, and the file other
// programs read stays well-formed.
TEST_F(RemoteNotificationTest, AnIdOfControlCharactersIsRefusedAndTheSettingsFileStaysWellFormed) {
  defaults::UserDefaults::standard().setInteger("hideInMenuBar", 0);  // a settings file to check
  const std::vector<std::string> ids = {R"(\u0001\u0002\u001b[31m)", R"(A\u0000B)", "", std::string(300, 'i')};
  for (const std::string& id : ids) {
    server_.setReply("/bad", ScriptedReply::ok(R"({"id":")" + id + R"(","title":"T","url":"https://a.b/"})"));
    log_.clear();
    launch("/bad");
    EXPECT_EQ(warnings(), std::vector<std::string>{"\"id\" holds control characters or is empty or too long"}) << id;
  }
  EXPECT_TRUE(published_.empty());
  EXPECT_FALSE(marker("A"));
  const auto file = defaults::UserDefaults::standard().filePath();
  EXPECT_EQ(std::system(("xmllint --noout '" + file.string() + "'").c_str()), 0) << readFile(file);
}

TEST_F(RemoteNotificationTest, RepliesWithoutStatusOrBodyHaveTheirOwnLines) {
  RemoteNotificationManager manager(client_, server_.url("/unused"));
  manager.handleResponse(std::string("{}"), std::nullopt, std::nullopt);
  manager.handleResponse(std::nullopt, 200, std::nullopt);
  EXPECT_EQ(warnings(), (std::vector<std::string>{"response is empty", "Response Data is Empty"}));
  EXPECT_EQ(RemoteNotificationManager::timeQuery(1709640000.0), "1709640000.0");
  EXPECT_EQ(RemoteNotificationManager::timeQuery(1709640000.123456), "1709640000.12346");
  EXPECT_EQ(server_.requestCount(), 0u);
}

// Random and mutated bodies: the handler never crashes, and it publishes exactly when the body is an object
// whose "id", "title" and "url" are strings, with the marker written for each.
TEST_F(RemoteNotificationTest, TenThousandRandomAndMutatedBodiesNeverCrashTheHandler) {
  RemoteNotificationManager manager(client_, server_.url("/unused"));
  std::mt19937 random(20240305);
  const std::vector<std::string> seeds = {
      R"({"id":"a","title":"T","url":"https://a.b/"})", R"({"id":"b","title":"\u00e9\ud83d\ude00","url":""})",
      R"([{"id":"c"}])", R"({"id":{"id":"d"},"title":[],"url":1e999})", R"({"id":"e","title":"x\u0000y","url":"u"})",
      std::string(5000, '[') + std::string(5000, ']'), R"({"id":"f","id":"g","title":"t","url":"u"})",
      "\xEF\xBB\xBF{\"id\":\"h\",\"title\":\"t\",\"url\":\"u\"}", "{\"id\":\"\xC3\x28\",\"title\":\"t\",\"url\":\"u\"}",
      "123456789012345678901234567890", "-0.0e-400", "true", "null", "\"\\ud800\""};
  const std::string alphabet = "{}[]\":,\\ 0123456789.eE+-tfnulrsaidx\x00\xff\xc3\x80\n\t";
  std::size_t expectedPublications = 0;
  const std::size_t before = published_.size();
  for (int round = 0; round < 10000; ++round) {
    std::string body;
    if (round % 3 == 0) {
      const std::size_t length = random() % 200;
      for (std::size_t i = 0; i < length; ++i) body += alphabet[random() % alphabet.size()];
    } else {
      body = seeds[random() % seeds.size()];
      for (int edits = 1 + static_cast<int>(random() % 4); edits > 0 && !body.empty(); --edits) {
        const std::size_t at = random() % body.size();
        switch (random() % 4) {
          case 0: body[at] = static_cast<char>(random() % 256); break;
          case 1: body.erase(at, 1 + random() % 8); break;
          case 2: body.insert(at, 1, alphabet[random() % alphabet.size()]); break;
          default: body.resize(at); break;
        }
      }
    }
    const nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
    std::string id;
    const bool publishable = !parsed.is_discarded() && parsed.is_object() && parsed.contains("id") &&
                             parsed["id"].is_string() && parsed.contains("title") && parsed["title"].is_string() &&
                             parsed.contains("url") && parsed["url"].is_string();
    if (publishable) {
      id = parsed["id"].get<std::string>();
      if (!marker(id)) ++expectedPublications;
    }
    manager.handleResponse(body, 200, std::nullopt);
    if (publishable) {
      EXPECT_TRUE(marker(id)) << body;
    }
  }
  EXPECT_GT(expectedPublications, 0u);  // the run reached the publishing path too
  EXPECT_EQ(published_.size() - before, expectedPublications);
  EXPECT_EQ(server_.requestCount(), 0u);
}

}  // namespace
}  // namespace tilvane::test
