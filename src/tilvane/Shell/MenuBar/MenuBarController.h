#pragma once

#include <memory>
#include <vector>

#include "Models/ModelsFwd.h"
#include "Shell/MenuBar/Menu.h"
#include "Shell/MenuBar/StatusItem.h"
#include "Shell/ShellServices.h"
#include "VkKit/VkRxController.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {

/// The program's one permanent user interface: its item in the tray and the menu that opens from it. The menu
/// is built from the settings and the stored data (the automatic-layout switch and "lay out all", one entry per
/// workspace, one per custom layout with its hot key, the built-in layout actions with a submenu of desktops,
/// the application entries) and rebuilt from scratch when a bus reports a change the menu shows: settings,
/// workspace and added-layout events 0.5 s after the last of a burst, every custom-layout change 1.0 s after
/// it. The icon follows the automatic-layout setting and is hidden while "hideInMenuBar" is 1.
///
/// This class is the menu's behaviour and needs no screen; the tray draws it through the StatusItem's view.
/// Main thread only.
class MenuBarController : public VkRxController {
 public:
  MenuBarController(Passkey key, const ShellServices& services);
  ~MenuBarController() override;

  /// Empties and rebuilds the whole menu.
  void updateItems();
  /// Sets the switch entry's title and the icon from the automatic-layout setting.
  void updateAutoLayoutState();
  /// Whether the user can reach the menu: the icon is shown and the desktop has a tray for it.
  bool isReachable() const;

  // The menu's actions, each given the chosen entry.
  void onAutoLayout(const MenuItem& sender);
  void onRestoreAll(const MenuItem& sender);
  void onLayout(const MenuItem& sender);
  void onCustomLayout(const MenuItem& sender);
  void onWorkspaceLayout(const MenuItem& sender);
  void onMoveToDesktop(const MenuItem& sender);
  void onAdvanced(const MenuItem& sender);
  void onPreference(const MenuItem& sender);
  void onCheckUpdate(const MenuItem& sender);
  void onFeedback(const MenuItem& sender);
  void onOpenGuide(const MenuItem& sender);
  void onQuit(const MenuItem& sender);

  /// An announcement: the popover (made by the first one) takes its title and link, the icon is shown even
  /// when "hideInMenuBar" hid it, and the popover opens under it 0.5 s later.
  void showNotification(const std::string& title, const std::string& url);
  /// Hides the popover, when there is one.
  void closeNotificationPopover();
  /// Shows `popover` under the status item's icon, in front.
  void showPopover(NotificationPopover& popover);

  // --- the fields, for the view and the tests ---
  StatusItem& statusBarItem() const { return *statusBarItem_; }
  const Menu& menu() const { return *menu_; }
  const std::shared_ptr<MenuItem>& stateMenuItem() const { return stateMenuItem_; }
  const std::shared_ptr<MenuItem>& autoLayoutMenuItem() const { return autoLayoutMenuItem_; }
  const std::shared_ptr<MenuItem>& restoreAllMenuItem() const { return restoreAllMenuItem_; }
  const std::vector<std::shared_ptr<MenuItem>>& workspaceLayoutItems() const { return workspaceLayoutItems_; }
  const std::vector<WorkspaceLayoutGroupModelPtr>& workspaceLayouts() const { return workspaceLayouts_; }
  const std::vector<std::shared_ptr<MenuItem>>& customLayoutItems() const { return customLayoutItems_; }
  const std::vector<CustomLayoutModelPtr>& customLayouts() const { return customLayouts_; }
  const std::shared_ptr<MenuItem>& halfLeftLayoutMenuItem() const { return halfLeftLayoutMenuItem_; }
  const std::shared_ptr<MenuItem>& switchDisplayMenuItem() const { return switchDisplayMenuItem_; }
  const std::shared_ptr<MenuItem>& moveToLeftDesktop() const { return moveToLeftDesktop_; }
  const std::shared_ptr<MenuItem>& moveToRightDesktop() const { return moveToRightDesktop_; }
  const std::shared_ptr<MenuItem>& desktopMenuItem() const { return desktopMenuItem_; }
  const std::vector<std::shared_ptr<MenuItem>>& desktopMenuItems() const { return desktopMenuItems_; }
  const std::shared_ptr<MenuItem>& preferenceMenuItem() const { return preferenceMenuItem_; }
  const std::shared_ptr<MenuItem>& checkUpdateMenuItem() const { return checkUpdateMenuItem_; }
  const std::shared_ptr<MenuItem>& quitMenuItem() const { return quitMenuItem_; }
  /// Null until the first announcement.
  NotificationPopover* notificationPopover() const { return notificationPopover_.get(); }

 protected:
  void setupUI() override;
  void setupViewModel() override;

 private:
  /// Titles the automatic-layout entry by what is stored now (logged, for whoever cannot read the menu).
  void titleAutoLayoutEntry();
  void updateStatusItems();
  void updateWorkspaceItems();
  void updateCustomLayoutItems();
  void updateLayoutItems();
  void updateAppItems();
  /// Shows or hides the icon (length -1 or 0).
  void setIconHidden(bool hidden);
  /// Logs once that the icon has no tray to show in while it is meant to be seen.
  void warnIfUnreachable();
  /// The menu's position of the sender, less that of the group's first entry; -1 when it is none of them.
  long indexInGroup(const MenuItem& sender, const std::vector<std::shared_ptr<MenuItem>>& group) const;

  ShellServices services_;
  std::unique_ptr<StatusItem> statusBarItem_;
  std::shared_ptr<Menu> menu_;
  std::shared_ptr<MenuItem> stateMenuItem_;
  std::shared_ptr<MenuItem> autoLayoutMenuItem_;
  std::shared_ptr<MenuItem> restoreAllMenuItem_;
  std::vector<std::shared_ptr<MenuItem>> workspaceLayoutItems_;
  std::vector<WorkspaceLayoutGroupModelPtr> workspaceLayouts_;
  std::vector<std::shared_ptr<MenuItem>> customLayoutItems_;
  std::vector<CustomLayoutModelPtr> customLayouts_;
  std::shared_ptr<MenuItem> fullscreenLayoutMenuItem_;
  std::shared_ptr<MenuItem> centerLayoutMenuItem_;
  std::shared_ptr<MenuItem> halfTopLayoutMenuItem_;
  std::shared_ptr<MenuItem> halfLeftLayoutMenuItem_;
  std::shared_ptr<MenuItem> halfRightLayoutMenuItem_;
  std::shared_ptr<MenuItem> halfBottomLayoutMenuItem_;
  std::shared_ptr<MenuItem> topLeftLayoutMenuItem_;
  std::shared_ptr<MenuItem> topRightLayoutMenuItem_;
  std::shared_ptr<MenuItem> bottomLeftLayoutMenuItem_;
  std::shared_ptr<MenuItem> bottomRightLayoutMenuItem_;
  std::shared_ptr<MenuItem> switchDisplayMenuItem_;
  std::shared_ptr<MenuItem> moveToLeftDesktop_;
  std::shared_ptr<MenuItem> moveToRightDesktop_;
  std::shared_ptr<Menu> desktopMenu_;
  std::shared_ptr<MenuItem> desktopMenuItem_;
  std::vector<std::shared_ptr<MenuItem>> desktopMenuItems_;
  std::shared_ptr<MenuItem> advancedMenuItem_;
  std::shared_ptr<MenuItem> preferenceMenuItem_;
  std::shared_ptr<MenuItem> checkUpdateMenuItem_;
  std::shared_ptr<MenuItem> feedbackMenuItem_;
  std::shared_ptr<MenuItem> guideMenuItem_;
  std::shared_ptr<MenuItem> quitMenuItem_;
  std::unique_ptr<NotificationPopover> notificationPopover_;

  /// Feeds the debounced rebuild once, when the controller is set up, for the menu's first build.
  rx::PublishSubject<rx::Unit> launched_;
  bool warnedUnreachable_ = false;
  /// A rebuild came while the menu was open; it runs once the menu has closed.
  bool itemsOutdated_ = false;
  /// Delayed rebuilds hold this weakly, so none runs after the controller went.
  std::shared_ptr<MenuBarController*> self_;
};

}  // namespace tilvane
