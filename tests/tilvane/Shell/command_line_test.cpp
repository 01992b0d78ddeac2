#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Store/StoreService.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Shell/CommandLine.h"
#include "Shell/URLSchemeHandler.h"
#include "platform/store/Database.h"
#include "support/TestEnvironment.h"

namespace tilvane::test {
namespace {

using Action = CommandLine::Action;

TEST(CommandLineTest, ReadsHelpVersionAURLOrNothingAndRefusesTheRest) {
  const struct {
    std::vector<std::string> args;
    Action action;
    std::string url;
  } cases[] = {
      {{}, Action::run, ""},
      {{"--help"}, Action::help, ""},
      {{"-h"}, Action::help, ""},
      {{"--version"}, Action::version, ""},
      {{"TILVANE://action?target=toggle"}, Action::run, "TILVANE://action?target=toggle"},
      {{"--help", "--version"}, Action::refuse, ""},
      {{"--helpme"}, Action::refuse, ""},
      {{"-v"}, Action::refuse, ""},
      {{"tilvane://space?id=a", "tilvane://space?id=b"}, Action::refuse, ""},
      {{"http://example.invalid"}, Action::refuse, ""},
      {{std::string("tilvane://") + std::string(31, 'a')}, Action::refuse, ""},  // over the 40 bytes allowed
      {{std::string("tilvane://") + std::string(30, 'a')}, Action::run, std::string("tilvane://") + std::string(30, 'a')},
  };
  for (const auto& c : cases) {
    const CommandLine line = readCommandLine(c.args, 40);
    const std::string shown = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(line.action, c.action) << shown;
    EXPECT_EQ(line.url, c.url) << shown;
    EXPECT_EQ(line.problem.empty(), c.action != Action::refuse) << shown;
  }
  EXPECT_NE(readCommandLine({"tilvane://a", "bogus"}, 100).problem.find("\"bogus\""), std::string::npos);
}

TEST(CommandLineTest, VersionNamesTheVersionAndTheBuildWhenKnown) {
  EXPECT_EQ(versionText({"1.2.3", "45"}), "tilvane 1.2.3 (build 45)\n");
  EXPECT_EQ(versionText({"1.2.3", std::nullopt}), "tilvane 1.2.3\n");
}

// Every URL the help lists does what the help says it does: the list and the handler cannot drift apart.
class HelpURLTest : public WorldTest, public URLSchemeHandler::Layouts {
 protected:
  void layoutWorkspace(const WorkspaceLayoutGroupModel& group) override { acted.push_back("space " + group.id()); }
  void layoutAll() override { acted.push_back("layout all"); }
  std::vector<std::string> acted;
};

TEST_F(HelpURLTest, EveryListedURLIsActedOn) {
  StoreService::shared().configureRealm();
  auto group = std::make_shared<WorkspaceLayoutGroupModel>();
  group->setId("ID");
  auto db = store::Database::open();
  db->write([&] { StoreService::shared().addUpdating(*db, group); });
  rx::DisposeBag bag;
  const auto record = [&](auto& subject, std::string name) {
    subject.subscribe([this, name](auto) { acted.push_back(name); }).disposed(bag);
  };
  record(AppBridge::toggleAutoLayout(), "toggle");
  record(AppBridge::openAdvanced(), "advanced");
  record(AppBridge::checkForUpdates(), "updates");
  record(AppBridge::openPreferences(), "preferences");

  const std::string usage = usageText();
  ASSERT_EQ(urlRequests().size(), 6u);
  for (const URLRequest& request : urlRequests()) {
    acted.clear();
    URLSchemeHandler(*this).handleGetURLEvent(request.url);
    drain();
    EXPECT_EQ(acted.size(), 1u) << request.url;
    EXPECT_NE(usage.find(request.url), std::string::npos) << request.url;
  }
}

}  // namespace
}  // namespace tilvane::test
