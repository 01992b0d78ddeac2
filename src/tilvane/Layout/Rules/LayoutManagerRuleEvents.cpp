// Application rules kept in step with the rule editor.
#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Catalogue/AppManager.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/RuleLayoutModel.h"

namespace tilvane {

void LayoutManager::bindRules() {
  // The editor learns the rule in force for the application it shows (none when the table has none).
  disposeBag_.insert(RuleLayoutBridge::appChanged().subscribe([this](const AppDescriptor& app) {
    const auto found = AppManager::shared().guessedClasses().find(rules_, app.bundleID);
    RuleLayoutBridge::detailRule().onNext(AppRule{app, found == rules_.end() ? nullptr : found->second});
  }));
  disposeBag_.insert(
      RuleLayoutBridge::ruleSaved().subscribe([this](const AppRule& saved) { updateRule(saved.app, saved.rule); }));
}

void LayoutManager::updateRule(const AppDescriptor& app, const RuleLayoutModelPtr& rule) {
  if (!rule) {
    if (const auto found = AppManager::shared().guessedClasses().find(rules_, app.bundleID); found != rules_.end())
      rules_.erase(found);
    relayoutApplication(app.bundleID);
    return;
  }
  const std::string key = rule->id();
  if (ruleLayoutTypes.fromRaw(rule->type()) == RuleLayoutType::auto_) {
    rules_.erase(key);
  } else {
    rules_[key] = rule;
  }
  relayoutApplication(key);
}

void LayoutManager::relayoutApplication(const std::string& bundleIdentifier) {
  // Walk a copy, so nothing a layout step does to the item list can disturb the walk.
  const auto items = layoutItems_;
  for (const auto& item : items) {
    if (item->layoutModel() && sameApplication(item->layoutModel()->bundleIdentifier(), bundleIdentifier))
      layout(item);
  }
}

}  // namespace tilvane
