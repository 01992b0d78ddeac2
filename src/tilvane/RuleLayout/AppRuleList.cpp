#include "RuleLayout/AppRuleList.h"

#include <QString>
#include <filesystem>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Catalogue/AppManager.h"
#include "Models/ExtensionAppModel.h"
#include "RuleLayout/PaneStoreWrites.h"

namespace tilvane {
namespace {

// What may be added: an application bundle (extension "app", case counts) or, on this desktop, a desktop entry.
bool isAddableKind(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::string extension = std::filesystem::path(path).extension().string();
  return extension == ".app" || extension == ".desktop";
}

}  // namespace

bool appNameMatches(const std::string& name, const std::string& text) {
  return QString::fromStdString(name).toLower().contains(QString::fromStdString(text).toLower());
}

AppRuleList::AppRuleList(std::unique_ptr<AppChooser> chooser) : chooser_(std::move(chooser)) {}

void AppRuleList::load() {
  allApps_ = AppManager::shared().apps();
  apps_ = allApps_;
}

void AppRuleList::filter(const std::optional<std::string>& text) {
  if (!text || text->empty()) {
    apps_ = allApps_;
    return;
  }
  apps_.clear();
  for (const AppDescriptor& app : allApps_)
    if (appNameMatches(app.name, *text)) apps_.push_back(app);
}

AppRuleList::AddResult AppRuleList::add() {
  const std::optional<std::string> path = chooser_ ? chooser_->chooseApplication() : std::nullopt;
  if (!path) return AddResult::cancelled;
  if (!isAddableKind(*path)) return AddResult::unsupported;
  auto record = std::make_shared<ExtensionAppModel>();
  record->setPath(*path);
  // One the catalogue cannot read would come back empty at the next start: tell the user now instead.
  const std::optional<AppDescriptor> app = AppManager::shared().appInfo(*path);
  if (!app) return AddResult::unsupported;
  AppManager::shared().addApplication(*path, *app);
  allApps_.push_back(*app);
  apps_.push_back(*app);
  storeExtensionApp(record);
  return AddResult::added;
}

void AppRuleList::selectionDidChange(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= apps_.size()) return;
  // A copy: a subscriber may change the rows while the event is delivered.
  const AppDescriptor app = apps_[static_cast<std::size_t>(row)];
  RuleLayoutBridge::appChanged().onNext(app);
}

}  // namespace tilvane
