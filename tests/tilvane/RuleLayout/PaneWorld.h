#pragma once

#include <filesystem>
#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"
#include "Models/RuleLayoutModel.h"
#include "platform/store/Database.h"
#include "support/TestEnvironment.h"

namespace tilvane::test {

/// A fresh world with the database at its default place under the temporary folder, what the pane publishes
/// on the rule bridge recorded, and the log captured.
class PaneWorld : public WorldTest {
 protected:
  PaneWorld() {
    StoreService::shared().configureRealm();
    RuleLayoutBridge::appChanged().subscribe([this](const AppDescriptor& app) { chosen.push_back(app); }).disposed(bag);
    RuleLayoutBridge::ruleSaved().subscribe([this](const AppRule& saved) { published.push_back(saved); }).disposed(bag);
  }

  static RuleLayoutModelPtr storedRule(const std::string& id) {
    return store::Database::open()->object<RuleLayoutModel>(id);
  }
  static RuleLayoutModelPtr store(const std::string& id, std::int64_t type, std::int64_t width, std::int64_t height,
                                  std::int64_t value) {
    auto rule = std::make_shared<RuleLayoutModel>();
    rule->setId(id);
    rule->setType(type);
    rule->setWidth(width);
    rule->setHeight(height);
    rule->setMatrixValue(value);
    auto db = store::Database::open();
    db->write([&] { StoreService::shared().addUpdating(*db, rule); });
    return rule;
  }
  /// Makes the database unusable from now on (call it before the test opens the database): a folder stands
  /// where its file would be opened.
  static void breakDatabase() {
    const auto file = store::Configuration::defaultFileURL();
    std::filesystem::remove_all(file.parent_path());
    std::filesystem::create_directories(file / "inside");
  }

  LogManager::Capture log;
  std::vector<AppDescriptor> chosen;
  std::vector<AppRule> published;
  rx::DisposeBag bag;
};

}  // namespace tilvane::test
