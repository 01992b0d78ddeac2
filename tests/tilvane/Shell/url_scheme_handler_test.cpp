#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Store/StoreService.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Shell/URLComponents.h"
#include "Shell/URLSchemeHandler.h"
#include "platform/store/Database.h"
#include "support/TestEnvironment.h"

namespace tilvane::test {
namespace {

// Records what reaches the layout manager and the buses; "|" marks the handler's return, so a deferred
// layout-all shows after it.
class URLSchemeHandlerTest : public WorldTest, public URLSchemeHandler::Layouts {
 protected:
  URLSchemeHandlerTest() {
    StoreService::shared().configureRealm();
    for (const char* id : {"Work-1", "Work-2"}) {
      auto group = std::make_shared<WorkspaceLayoutGroupModel>();
      group->setId(id);
      auto db = store::Database::open();
      db->write([&] { StoreService::shared().addUpdating(*db, group); });
    }
    const auto record = [this](auto& subject, std::string name) {
      subject.subscribe([this, name](auto) { events.push_back(name); }).disposed(bag_);
    };
    record(AppBridge::toggleAutoLayout(), "toggle");
    record(AppBridge::openAdvanced(), "advanced");
    record(AppBridge::checkForUpdates(), "updates");
    AppBridge::openPreferences().subscribe([this](int pane) { events.push_back("pane " + std::to_string(pane)); })
        .disposed(bag_);
  }

  void layoutWorkspace(const WorkspaceLayoutGroupModel& group) override { events.push_back("space:" + group.id()); }
  void layoutAll() override { events.push_back("layoutAll"); }

  std::vector<std::string> handle(const std::string& url) {
    events.clear();
    URLSchemeHandler(*this).handleGetURLEvent(url);
    events.push_back("|");
    drain();
    return events;
  }

  std::vector<std::string> events;

 private:
  rx::DisposeBag bag_;
};

// A toggle request padded to exactly `length` characters.
std::string toggleOfLength(std::size_t length) {
  std::string url = "tilvane://action?target=toggle&pad=";
  return url + std::string(length - url.size(), 'a');
}

TEST_F(URLSchemeHandlerTest, ActsOnTheFirstKnownItemOfAKnownHostAndIgnoresEverythingElse) {
  using Events = std::vector<std::string>;
  const Events nothing{"|"};
  const struct {
    std::string url;
    Events expected;
  } cases[] = {
      {"tilvane://space?id=Work-2", {"space:Work-2", "|"}},
      {"tilvane://SpAcE?id=Work-1&id=Work-2", {"space:Work-1", "|"}},
      {"tilvane://space?ID=Work-1", nothing},
      {"tilvane://space?id=work-1", nothing},
      {"tilvane://space?id&id=Work-1", nothing},
      {"tilvane://action?target=LayoutAll", {"|", "layoutAll"}},
      {"tilvane://ACTION?target=advanced&target=toggle", {"advanced", "|"}},
      {"tilvane://action?target=preferences", {"pane 0", "|"}},
      {"tilvane://action?target=updates", {"updates", "|"}},
      {"other://user@action:8080/path?target=%74oggle", {"toggle", "|"}},
      {"tilvane://action?target", nothing},
      {"tilvane://action?target=reboot", nothing},
      {"tilvane://window?target=toggle", nothing},
      {"tilvane:action?target=toggle", nothing},
      {"tilvane://action?target=toggle; rm -rf ~", nothing},
      {"", nothing},
      {toggleOfLength(URLComponents::maxLength), {"toggle", "|"}},
      {toggleOfLength(URLComponents::maxLength + 1), nothing},
  };
  for (const auto& c : cases) EXPECT_EQ(handle(c.url), c.expected) << c.url.substr(0, 80);
}

}  // namespace
}  // namespace tilvane::test
