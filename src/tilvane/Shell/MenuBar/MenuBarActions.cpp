// What the menu's entries do. The actions do little themselves: they publish on a bus for the component that
// owns the feature, hand a model to the layout manager or an action to the built-in layout actions, or call
// the updater or the browser.
#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Settings/Constants.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "Layout/LayoutManager.h"
#include "Models/CustomLayoutModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Shell/MenuBar/MenuBarController.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

void MenuBarController::updateAutoLayoutState() {
  const bool enabled = UserDefaultsService::autoLayoutEnabled() == 1;
  statusBarItem_->setImage(enabled ? "Menu" : "MenuDisabled");
  statusBarItem_->setImageTemplate(true);
  // As with a rebuild, the open menu is left as it is until it closes; the rebuild titles the entry then.
  if (statusBarItem_->isMenuOpen()) {
    itemsOutdated_ = true;
    return;
  }
  titleAutoLayoutEntry();
  autoLayoutMenuItem_->setTarget(this);
  statusBarItem_->menuDidChange();
}

void MenuBarController::titleAutoLayoutEntry() {
  autoLayoutMenuItem_->setTitle(UserDefaultsService::autoLayoutEnabled() == 1 ? NSLocalizedString("DisableAutoLayout")
                                                                             : NSLocalizedString("EnableAutoLayout"));
  LogManager::debug("menubar auto layout entry: " + autoLayoutMenuItem_->title());
}

void MenuBarController::onAutoLayout(const MenuItem&) { AppBridge::toggleAutoLayout().onNext(rx::Unit{}); }

void MenuBarController::onRestoreAll(const MenuItem&) {
  // After the menu has closed.
  dispatch::MainQueue::async([] { LayoutManager::shared().layoutAll(); });
}

void MenuBarController::onLayout(const MenuItem& sender) {
  const std::pair<const MenuItem*, LayoutNode::Type> items[] = {
      {fullscreenLayoutMenuItem_.get(), LayoutNode::Type::fullscreen},
      {centerLayoutMenuItem_.get(), LayoutNode::Type::center},
      {halfTopLayoutMenuItem_.get(), LayoutNode::Type::halfTop},
      {halfBottomLayoutMenuItem_.get(), LayoutNode::Type::halfBottom},
      {halfLeftLayoutMenuItem_.get(), LayoutNode::Type::halfLeft},
      {halfRightLayoutMenuItem_.get(), LayoutNode::Type::halfRight},
      {topLeftLayoutMenuItem_.get(), LayoutNode::Type::topLeft},
      {topRightLayoutMenuItem_.get(), LayoutNode::Type::topRight},
      {bottomLeftLayoutMenuItem_.get(), LayoutNode::Type::bottomLeft},
      {bottomRightLayoutMenuItem_.get(), LayoutNode::Type::bottomRight},
      {switchDisplayMenuItem_.get(), LayoutNode::Type::switchScreen},
  };
  for (const auto& [item, type] : items) {
    if (item != &sender) continue;
    BuildInLayoutActionController::shared().performLayout(type);
    return;
  }
}

long MenuBarController::indexInGroup(const MenuItem& sender,
                                     const std::vector<std::shared_ptr<MenuItem>>& group) const {
  if (group.empty()) return -1;
  const long position = menu_->indexOfItem(sender);
  const long first = menu_->indexOfItem(*group.front());
  // An entry that outlived its rebuild is in no group.
  if (position < 0 || first < 0) return -1;
  const long index = position - first;
  return index >= 0 && static_cast<std::size_t>(index) < group.size() ? index : -1;
}

void MenuBarController::onCustomLayout(const MenuItem& sender) {
  const long index = indexInGroup(sender, customLayoutItems_);
  if (index < 0 || static_cast<std::size_t>(index) >= customLayouts_.size()) return;
  LayoutManager::shared().applyCustomLayout(*customLayouts_[static_cast<std::size_t>(index)]);
}

void MenuBarController::onWorkspaceLayout(const MenuItem& sender) {
  const long index = indexInGroup(sender, workspaceLayoutItems_);
  if (index < 0 || static_cast<std::size_t>(index) >= workspaceLayouts_.size()) return;
  LayoutManager::shared().layoutWorkspace(*workspaceLayouts_[static_cast<std::size_t>(index)]);
}

void MenuBarController::onMoveToDesktop(const MenuItem& sender) {
  if (&sender == moveToLeftDesktop_.get()) {
    BuildInLayoutActionController::shared().performLayout(LayoutNode::Type::moveToLeftDesktop);
    return;
  }
  if (&sender == moveToRightDesktop_.get()) {
    BuildInLayoutActionController::shared().performLayout(LayoutNode::Type::moveToRightDesktop);
    return;
  }
  for (std::size_t k = 0; k < desktopMenuItems_.size(); ++k) {
    if (desktopMenuItems_[k].get() != &sender) continue;
    BuildInLayoutActionController::shared().performLayout(LayoutNode::Type::moveToDesktop(static_cast<int>(k)));
    return;
  }
}

void MenuBarController::onAdvanced(const MenuItem&) { AppBridge::openAdvanced().onNext(rx::Unit{}); }

void MenuBarController::onPreference(const MenuItem&) { AppBridge::openPreferences().onNext(-1); }

void MenuBarController::onCheckUpdate(const MenuItem&) { services_.updater.checkForUpdates(); }

void MenuBarController::onFeedback(const MenuItem&) { services_.updater.showFeedbackDialog(); }

void MenuBarController::onOpenGuide(const MenuItem&) {
  if (services_.openURL) services_.openURL(Constants::Url::guide());
}

void MenuBarController::onQuit(const MenuItem&) { AppBridge::quit().onNext(rx::Unit{}); }

}  // namespace tilvane
