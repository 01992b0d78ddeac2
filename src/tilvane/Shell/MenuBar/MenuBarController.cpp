#include "Shell/MenuBar/MenuBarController.h"

#include <algorithm>
#include <string>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Settings/BundleVersion.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "AppManager/Store/StoreService.h"
#include "Layout/LayoutManager.h"
#include "Models/CustomLayoutModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "UI/HUD/VkHUD.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/hotkeys/MASShortcut.h"
#include "platform/l10n/Localization.h"
#include "platform/rx/Observable.h"

namespace tilvane {
namespace {

/// Where the workspace entries start: after the header, the switch, a separator, "LayoutAll" and a separator.
constexpr std::size_t kFirstWorkspaceIndex = 5;
// Long enough to read a sentence.
constexpr double kNoticeSeconds = 6.0;

const char* iconName() { return UserDefaultsService::autoLayoutEnabled() == 1 ? "Menu" : "MenuDisabled"; }

}  // namespace

MenuBarController::MenuBarController(Passkey key, const ShellServices& services)
    : VkRxController(key),
      services_(services),
      statusBarItem_(StatusBar::systemStatusBar().statusItemWithLength(StatusItem::kVariableLength)),
      menu_(std::make_shared<Menu>()),
      stateMenuItem_(MenuItem::make()),
      autoLayoutMenuItem_(MenuItem::make()),
      restoreAllMenuItem_(MenuItem::make()),
      fullscreenLayoutMenuItem_(MenuItem::make()),
      centerLayoutMenuItem_(MenuItem::make()),
      halfTopLayoutMenuItem_(MenuItem::make()),
      halfLeftLayoutMenuItem_(MenuItem::make()),
      halfRightLayoutMenuItem_(MenuItem::make()),
      halfBottomLayoutMenuItem_(MenuItem::make()),
      topLeftLayoutMenuItem_(MenuItem::make()),
      topRightLayoutMenuItem_(MenuItem::make()),
      bottomLeftLayoutMenuItem_(MenuItem::make()),
      bottomRightLayoutMenuItem_(MenuItem::make()),
      switchDisplayMenuItem_(MenuItem::make()),
      moveToLeftDesktop_(MenuItem::make()),
      moveToRightDesktop_(MenuItem::make()),
      desktopMenu_(std::make_shared<Menu>()),
      desktopMenuItem_(MenuItem::make()),
      advancedMenuItem_(MenuItem::make()),
      preferenceMenuItem_(MenuItem::make()),
      checkUpdateMenuItem_(MenuItem::make()),
      feedbackMenuItem_(MenuItem::make()),
      guideMenuItem_(MenuItem::make()),
      quitMenuItem_(MenuItem::make()),
      self_(std::make_shared<MenuBarController*>(this)) {}

MenuBarController::~MenuBarController() = default;

void MenuBarController::setupUI() {
  LogManager::debug("menubar controller setup start");
  statusBarItem_->setMenu(menu_);
  const std::weak_ptr<MenuBarController*> weak = self_;
  statusBarItem_->setMenuClosedHandler([weak] {
    if (const auto self = weak.lock(); self && (*self)->itemsOutdated_) (*self)->updateItems();
  });
  statusBarItem_->setImage(iconName());
  statusBarItem_->setImageTemplate(true);
  // A hidden icon stays hidden from the start, not only from the setting's next change.
  if (UserDefaultsService::hideInMenuBar() == 1)
    setIconHidden(true);
  warnIfUnreachable();
  LogManager::debug("menubar controller setup end");
}

void MenuBarController::setupViewModel() {
  LogManager::debug("menubar viewmodel setup start");
  const std::weak_ptr<MenuBarController*> weak = self_;
  const auto toUnit = [](const auto&) { return rx::Unit{}; };
  rx::Observable<rx::Unit>::merge({
                                      AppBridge::showBuildInLayoutActionChanged().asObservable(),
                                      WorkspaceBridge::workspaceRenamed().asObservable(),
                                      WorkspaceBridge::workspaceAdded().asObservable(),
                                      WorkspaceBridge::workspaceRemoved().asObservable(),
                                      // A new layout shows at once, not only at its first edit.
                                      CustomLayoutBridge::layoutAdded().asObservable().map(toUnit),
                                      launched_.asObservable(),
                                  })
      .debounce(0.5)
      .subscribe([weak](const rx::Unit&) {
        if (const auto self = weak.lock()) (*self)->updateItems();
      })
      .disposed(disposeBag());
  AppBridge::hideInMenuBarChanged()
      .subscribe([this](const bool& hidden) { setIconHidden(hidden); })
      .disposed(disposeBag());
  AppBridge::toggleAutoLayout()
      .subscribe([this](const rx::Unit&) {
        if (!UserDefaultsService::toggleAutoLayoutEnabled())
          VkHUD::shared().show(NSLocalizedString("SettingNotSaved"), kNoticeSeconds, VkHUDPosition::center,
                               VkHUDSize::small, VkHUDStyle::dark, true);
        updateAutoLayoutState();
      })
      .disposed(disposeBag());
  // Another instance or a hand edit switched automatic layout: the switch and the icon show it, and switched on it
  // lays the windows out as the switch does.
  AppBridge::settingsChanged()
      .subscribe([this](const std::vector<std::string>& keys) {
        if (std::find(keys.begin(), keys.end(), UserDefaultsService::autoLayoutEnabledKey()) == keys.end()) return;
        updateAutoLayoutState();
        if (UserDefaultsService::autoLayoutEnabled() == 1)
          dispatch::MainQueue::async([] { LayoutManager::shared().layoutAll(); });
      })
      .disposed(disposeBag());
  // Announcements and the popover's buttons act on a later turn of the main loop, after their sender returned.
  AppBridge::remoteNotification()
      .subscribe([weak](const RemoteNotification& notification) {
        dispatch::MainQueue::async([weak, notification] {
          if (const auto self = weak.lock()) (*self)->showNotification(notification.title, notification.url);
        });
      })
      .disposed(disposeBag());
  AppBridge::remoteNotificationDetail()
      .subscribe([weak](const rx::Unit&) {
        dispatch::MainQueue::async([weak] {
          if (const auto self = weak.lock()) (*self)->closeNotificationPopover();
        });
      })
      .disposed(disposeBag());
  CustomLayoutBridge::layoutChanged()
      .subscribe([weak](const CustomLayoutModelPtr&) {
        // Every change has its own rebuild; none replaces another.
        dispatch::MainQueue::asyncAfter(1.0, [weak] {
          if (const auto self = weak.lock()) (*self)->updateItems();
        });
      })
      .disposed(disposeBag());
  // A removed layout leaves the menu at once, so no entry lays windows out by a layout that is gone. It is
  // announced before it leaves the store: the rebuild waits for the turn after.
  CustomLayoutBridge::layoutRemoved()
      .subscribe([weak](const CustomLayoutModelPtr&) {
        dispatch::MainQueue::async([weak] {
          if (const auto self = weak.lock()) (*self)->updateItems();
        });
      })
      .disposed(disposeBag());
  LogManager::debug("menubar viewmodel setup end");
  launched_.onNext(rx::Unit{});
}

void MenuBarController::showNotification(const std::string& title, const std::string& url) {
  if (!notificationPopover_) {
    StatusItemView* view = statusBarItem_->view();
    notificationPopover_ =
        std::make_unique<NotificationPopover>(view ? view->makePopoverView() : nullptr, services_.openURL);
  }
  // Every announcement shows its own title and link, not the first one's.
  notificationPopover_->setContent(title, url);
  if (!statusBarItem_->button()) return;
  setIconHidden(false);
  const std::weak_ptr<MenuBarController*> weak = self_;
  dispatch::MainQueue::asyncAfter(0.5, [weak] {
    if (const auto self = weak.lock()) (*self)->showPopover(*(*self)->notificationPopover_);
  });
}

void MenuBarController::closeNotificationPopover() {
  if (notificationPopover_) notificationPopover_->close();
}

void MenuBarController::showPopover(NotificationPopover& popover) { popover.show(); }

void MenuBarController::setIconHidden(bool hidden) {
  statusBarItem_->setLength(hidden ? 0 : StatusItem::kVariableLength);
  warnIfUnreachable();
}

void MenuBarController::warnIfUnreachable() {
  if (warnedUnreachable_ || !statusBarItem_->isVisible() || statusBarItem_->isSystemTrayAvailable()) return;
  warnedUnreachable_ = true;
  LogManager::warning("no system tray on this desktop: the menu cannot be shown; start the program again to "
                      "open its preferences");
}

bool MenuBarController::isReachable() const {
  return statusBarItem_->isVisible() && statusBarItem_->isSystemTrayAvailable();
}

void MenuBarController::updateItems() {
  // Rebuilt under the user's eyes, the open menu's entries would move under the pointer, and the one being
  // chosen could lose its action: the rebuild waits until the menu has closed.
  if (statusBarItem_->isMenuOpen()) {
    itemsOutdated_ = true;
    return;
  }
  itemsOutdated_ = false;
  LogManager::debug("menubar update items");
  for (const auto& item : desktopMenuItems_) {
    item->setTarget(nullptr);
    item->setAction(nullptr);
  }
  desktopMenuItems_.clear();
  desktopMenu_->removeAllItems();
  for (const auto& item : menu_->items()) {
    item->setKeyEquivalent({});
    item->setAction(nullptr);
    item->setTarget(nullptr);
  }
  menu_->removeAllItems();
  LogManager::debug("menubar update status items");
  updateStatusItems();
  LogManager::debug("menubar update workspace items");
  updateWorkspaceItems();
  LogManager::debug("menubar update customlayout items");
  updateCustomLayoutItems();
  LogManager::debug("menubar update layout items");
  updateLayoutItems();
  LogManager::debug("menubar update app items");
  updateAppItems();
  statusBarItem_->menuDidChange();
  LogManager::debug("menubar update items end");
}

void MenuBarController::updateStatusItems() {
  stateMenuItem_->setTitle(NSLocalizedString("Tilvane") + " " + BundleVersion::main().shortVersion.value_or(""));
  menu_->addItem(stateMenuItem_);
  titleAutoLayoutEntry();
  menu_->addItem(autoLayoutMenuItem_);
  autoLayoutMenuItem_->setAction(&MenuBarController::onAutoLayout);
  menu_->addItem(MenuItem::separatorItem());
  restoreAllMenuItem_->setTitle(NSLocalizedString("LayoutAll"));
  menu_->addItem(restoreAllMenuItem_);
  restoreAllMenuItem_->setAction(&MenuBarController::onRestoreAll);
  menu_->addItem(MenuItem::separatorItem());
  autoLayoutMenuItem_->setTarget(this);
  restoreAllMenuItem_->setTarget(this);
}

void MenuBarController::updateWorkspaceItems() {
  workspaceLayoutItems_.clear();
  workspaceLayouts_ = StoreService::shared().workspaces();
  if (workspaceLayouts_.empty()) return;
  for (const auto& workspace : workspaceLayouts_) {
    auto item = MenuItem::make(workspace->name());
    item->setAction(&MenuBarController::onWorkspaceLayout);
    item->setTarget(this);
    menu_->insertItem(item, kFirstWorkspaceIndex + workspaceLayoutItems_.size());
    workspaceLayoutItems_.push_back(std::move(item));
  }
  menu_->insertItem(MenuItem::separatorItem(), kFirstWorkspaceIndex + workspaceLayoutItems_.size());
}

void MenuBarController::updateCustomLayoutItems() {
  customLayoutItems_.clear();
  customLayouts_ = StoreService::shared().customLayouts();
  if (customLayouts_.empty()) return;
  const std::size_t base =
      kFirstWorkspaceIndex + workspaceLayoutItems_.size() + (workspaceLayoutItems_.empty() ? 0 : 1);
  for (const auto& layout : customLayouts_) {
    auto item = MenuItem::make(layout->name());
    item->setAction(&MenuBarController::onCustomLayout);
    item->setTarget(this);
    // Stored values are -1 (no hot key) or a real key; anything else shows no chord but keeps the entry.
    if (layout->keyCode() >= 0 && layout->modifierFlags() >= 0) {
      const MASShortcut shortcut(static_cast<std::uint64_t>(layout->keyCode()),
                                 static_cast<std::uint64_t>(layout->modifierFlags()));
      item->setKeyEquivalent(shortcut.keyCodeStringForKeyEquivalent());
      // The entry shows the chord that really acts: the layout's own modifiers.
      item->setKeyEquivalentModifierMask(shortcut.modifierFlags());
    }
    menu_->insertItem(item, base + customLayoutItems_.size());
    customLayoutItems_.push_back(std::move(item));
  }
  menu_->insertItem(MenuItem::separatorItem(), base + customLayoutItems_.size());
}

void MenuBarController::updateLayoutItems() {
  if (UserDefaultsService::showBuildInLayoutAction()) return;
  struct Row {
    const std::shared_ptr<MenuItem>* field;  // null: a separator
    const char* title;
    const char* image;
    MenuItem::Action action;
  };
  const Row rows[] = {
      {&fullscreenLayoutMenuItem_, l10n::key("FullScreen"), "fullscreenMenu", &MenuBarController::onLayout},
      {&centerLayoutMenuItem_, l10n::key("CenterScreen"), "centerMenu", &MenuBarController::onLayout},
      {&halfTopLayoutMenuItem_, l10n::key("TopHalf"), "halfTopMenu", &MenuBarController::onLayout},
      {&halfBottomLayoutMenuItem_, l10n::key("BottomHalf"), "halfBottomMenu", &MenuBarController::onLayout},
      {&halfLeftLayoutMenuItem_, l10n::key("LeftHalf"), "halfLeftMenu", &MenuBarController::onLayout},
      {&halfRightLayoutMenuItem_, l10n::key("RightHalf"), "halfRightMenu", &MenuBarController::onLayout},
      {&topLeftLayoutMenuItem_, l10n::key("TopLeft"), "topLeftMenu", &MenuBarController::onLayout},
      {&topRightLayoutMenuItem_, l10n::key("TopRight"), "topRightMenu", &MenuBarController::onLayout},
      {&bottomLeftLayoutMenuItem_, l10n::key("BottomLeft"), "bottomLeftMenu", &MenuBarController::onLayout},
      {&bottomRightLayoutMenuItem_, l10n::key("BottomRight"), "bottomRightMenu", &MenuBarController::onLayout},
      {nullptr, nullptr, nullptr, nullptr},
      {&switchDisplayMenuItem_, l10n::key("MoveToAnotherScreen"), "switchDisplayMenu", &MenuBarController::onLayout},
      {nullptr, nullptr, nullptr, nullptr},
      {&moveToLeftDesktop_, l10n::key("MoveToLeftDesktop"), "moveToLeftDesktop", &MenuBarController::onMoveToDesktop},
      {&moveToRightDesktop_, l10n::key("MoveToRightDesktop"), "moveToRightDesktop",
       &MenuBarController::onMoveToDesktop},
  };
  for (const Row& row : rows) {
    if (!row.field) {
      menu_->addItem(MenuItem::separatorItem());
      continue;
    }
    MenuItem& item = **row.field;
    item.setTitle(NSLocalizedString(row.title));
    item.setImage(row.image);
    item.setTemplateImage(true);
    item.setKeyEquivalent({});
    menu_->addItem(*row.field);
    item.setAction(row.action);
  }
  const int desktops = ScreenManager::shared().spaceCount();
  for (int n = 1; n <= desktops; ++n) {
    auto item = MenuItem::make(NSLocalizedString("Desktop") + " " + std::to_string(n));
    item->setAction(&MenuBarController::onMoveToDesktop);
    desktopMenu_->addItem(item);
    item->setTarget(this);
    desktopMenuItems_.push_back(std::move(item));
  }
  desktopMenuItem_ = MenuItem::make(NSLocalizedString("MoveToDesktop"));
  desktopMenuItem_->setSubmenu(desktopMenu_);
  desktopMenuItem_->setEnabled(true);
  menu_->addItem(desktopMenuItem_);
  menu_->addItem(MenuItem::separatorItem());
  for (const Row& row : rows)
    if (row.field) (*row.field)->setTarget(this);
}

void MenuBarController::updateAppItems() {
  struct Row {
    const std::shared_ptr<MenuItem>* field;  // null: a separator
    const char* title;
    const char* keyEquivalent;
    MenuItem::Action action;
  };
  const Row rows[] = {
      {&advancedMenuItem_, l10n::key("Advanced"), ".", &MenuBarController::onAdvanced},
      {nullptr, nullptr, nullptr, nullptr},
      {&preferenceMenuItem_, l10n::key("Preferences"), ",", &MenuBarController::onPreference},
      {nullptr, nullptr, nullptr, nullptr},
      {&guideMenuItem_, l10n::key("Guide"), "", &MenuBarController::onOpenGuide},
      {nullptr, nullptr, nullptr, nullptr},
      {&checkUpdateMenuItem_, l10n::key("CheckForUpdate"), "", &MenuBarController::onCheckUpdate},
      {&feedbackMenuItem_, l10n::key("Feedback"), "", &MenuBarController::onFeedback},
      {nullptr, nullptr, nullptr, nullptr},
      {&quitMenuItem_, l10n::key("Quit"), "q", &MenuBarController::onQuit},
  };
  for (const Row& row : rows) {
    if (!row.field) {
      menu_->addItem(MenuItem::separatorItem());
      continue;
    }
    MenuItem& item = **row.field;
    item.setTitle(NSLocalizedString(row.title));
    item.setKeyEquivalent(row.keyEquivalent);
    item.setAction(row.action);
    item.setTarget(this);
    menu_->addItem(*row.field);
  }
}

}  // namespace tilvane
