#include "Shell/URLSchemeHandler.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"
#include "Layout/LayoutManager.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Shell/URLComponents.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {

namespace {

// Stateless: asks for the shared manager at each call, so it never holds on to one a reset replaced.
class SharedLayoutManager final : public URLSchemeHandler::Layouts {
 public:
  void layoutWorkspace(const WorkspaceLayoutGroupModel& group) override {
    LayoutManager::shared().layoutWorkspace(group);
  }
  void layoutAll() override {
    LogManager::debug("layout all");
    LayoutManager::shared().layoutAll();
  }
};

SharedLayoutManager& sharedLayoutManager() {
  static SharedLayoutManager layouts;
  return layouts;
}

// ASCII is enough: no other character lower-cases to a letter of "space", "action" or the targets.
std::string lowercased(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// The value of the first item named exactly `name`; absent when there is none or it has no value.
std::optional<std::string> firstValue(const std::vector<URLQueryItem>& items, std::string_view name) {
  const auto item = std::find_if(items.begin(), items.end(), [&](const URLQueryItem& i) { return i.name == name; });
  return item == items.end() ? std::nullopt : item->value;
}

}  // namespace

URLSchemeHandler::URLSchemeHandler() : layouts_(sharedLayoutManager()) {}

void URLSchemeHandler::handleGetURLEvent(std::string_view text) {
  const std::optional<URLComponents> url = URLComponents::parse(text);
  if (!url || !url->host || !url->queryItems) return;
  const std::string host = lowercased(*url->host);

  if (host == "space") {
    const std::optional<std::string> id = firstValue(*url->queryItems, "id");
    if (!id) return;
    for (const WorkspaceLayoutGroupModelPtr& group : StoreService::shared().workspaces()) {
      if (group->id() == *id) {
        layouts_.layoutWorkspace(*group);
        return;
      }
    }
  } else if (host == "action") {
    const std::optional<std::string> target = firstValue(*url->queryItems, "target");
    if (!target) return;
    const std::string action = lowercased(*target);
    if (action == "layoutall") {
      dispatch::MainQueue::async([&layouts = layouts_] { layouts.layoutAll(); });
    } else if (action == "toggle") {
      AppBridge::toggleAutoLayout().onNext();
    } else if (action == "preferences") {
      AppBridge::openPreferences().onNext(0);
    } else if (action == "advanced") {
      AppBridge::openAdvanced().onNext();
    } else if (action == "updates") {
      AppBridge::checkForUpdates().onNext();
    }
  }
}

}  // namespace tilvane
