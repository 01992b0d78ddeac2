// The tray menu's model and actions on the simulated desktop and the virtual clock: the entries a rebuild
// makes, when a rebuild happens, and what each entry does.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "AppManager/Store/StoreService.h"
#include "CustomLayout/CustomLayoutViewController.h"
#include "AppManager/Settings/LayoutAllTarget.h"
#include "Layout/LayoutManager.h"
#include "Models/CustomLayoutModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Shell/MenuBar/MenuBarController.h"
#include "UI/HUD/VkHUD.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/l10n/Localization.h"
#include "platform/store/Database.h"
#include "support/windows/WindowWorld.h"
#include "tilvane/Shell/RecordingUpdater.h"
#include "tilvane/WorkspaceLayout/WorkspaceItem.h"

namespace tilvane::test {
namespace {

struct NoLanding final : LandingWindows, AnnouncementRequester {
  std::unique_ptr<LandingWindowView> makeView() override { return nullptr; }
  void requestAfter(double) override {}
};

/// A tray that can be there or not, and remembers what it was told.
struct FakeTray final : StatusItemView {
  explicit FakeTray(bool available) : available(available) {}
  void setImage(const std::string& name, bool) override { image = name; }
  void setVisible(bool v) override { visible = v; }
  void setMenu(const Menu& menu) override {
    entries = menu.numberOfItems();
    ++menus;
  }
  bool isSystemTrayAvailable() const override { return available; }
  bool isMenuOpen() const override { return open; }
  void setMenuClosedHandler(std::function<void()> handler) override { closed = std::move(handler); }
  void close() {
    open = false;
    if (closed) closed();
  }
  bool available;
  bool open = false;
  int menus = 0;
  std::function<void()> closed;
  bool visible = false;
  std::string image;
  std::size_t entries = 0;
};

std::string text(const std::string& key) { return NSLocalizedString(key); }

class MenuBarTest : public WindowWorld {
 protected:
  explicit MenuBarTest(int spaces = 3) : WindowWorld(spaces) { StoreService::shared().configureRealm(); }

  std::unique_ptr<MenuBarController> makeController() {
    return VkRxController::make<MenuBarController>(
        ShellServices{updater_, landing_, landing_, [] {}, [] {}, [this](const std::string& url) {
                        opened_.push_back(url);
                        return true;
                      }});
  }
  /// A controller whose first build has run.
  MenuBarController& built() {
    controller_ = makeController();
    advance(0.5);
    return *controller_;
  }

  void storeWorkspace(const std::string& name, const std::string& bundle) {
    auto workspace = std::make_shared<WorkspaceLayoutGroupModel>();
    workspace->setName(name);
    workspace->setItems({workspaceItem(bundle, 0, CGRectMake(0, 0, 0.5, 1))});
    const auto database = store::Database::open();
    database->write([&] { database->add(workspace, store::UpdatePolicy::all); });
  }
  CustomLayoutModelPtr storeLayout(const std::string& name, std::int64_t keyCode = -1, std::int64_t flags = -1) {
    auto layout = std::make_shared<CustomLayoutModel>();
    layout->setName(name);
    layout->setType(1);
    layout->setKeyCode(keyCode);
    layout->setModifierFlags(flags);
    const auto database = store::Database::open();
    database->write([&] { database->add(layout, store::UpdatePolicy::all); });
    return layout;
  }

  /// The menu's titles, "-" for a separator.
  static std::vector<std::string> titles(const Menu& menu) {
    std::vector<std::string> shown;
    for (const auto& item : menu.items()) shown.push_back(item->isSeparatorItem() ? "-" : item->title());
    return shown;
  }
  std::size_t rebuilds() { return logLines("menubar update items end").size(); }
  static void choose(const std::shared_ptr<MenuItem>& item) {
    ASSERT_TRUE(item && item->isActionable());
    item->performAction();
  }
  MenuItem& entryTitled(const std::string& title) {
    for (const auto& item : controller_->menu().items())
      if (item->title() == title) return *item;
    ADD_FAILURE() << "no entry " << title;
    static MenuItem none;
    return none;
  }

  RecordingUpdater updater_;
  NoLanding landing_;
  std::vector<std::string> opened_;
  std::unique_ptr<MenuBarController> controller_;
};

TEST_F(MenuBarTest, WithNothingStoredAndTheActionsHiddenTheMenuIsTheHeaderAndTheApplicationEntries) {
  defaults::UserDefaults::standard().setBool(UserDefaultsService::showBuildInLayoutActionKey(), true);
  MenuBarController& menuBar = built();
  EXPECT_EQ(titles(menuBar.menu()),
            (std::vector<std::string>{text("Tilvane") + " 0.1.0", text("DisableAutoLayout"), "-", text("LayoutAll"),
                                      "-", text("Advanced"), "-", text("Preferences"), "-", text("Guide"), "-",
                                      text("CheckForUpdate"), text("Feedback"), "-", text("Quit")}));
  EXPECT_FALSE(menuBar.stateMenuItem()->isActionable());
  EXPECT_TRUE(menuBar.desktopMenuItems().empty());
  EXPECT_EQ(menuBar.quitMenuItem()->keyEquivalentText(), "Ctrl+Q");
  EXPECT_EQ(menuBar.preferenceMenuItem()->keyEquivalentText(), "Ctrl+,");
}

TEST_F(MenuBarTest, EntriesFollowTheStoreAndTheDesktops) {
  storeWorkspace("Mail", "org.example.Mail");
  storeWorkspace("Code", "org.example.Code");
  storeLayout("Wide", kVK_ANSI_1, kCGEventFlagMaskControl | kCGEventFlagMaskAlternate);
  storeLayout("Loose", 200, kCGEventFlagMaskControl);  // no key has this code
  storeLayout("Bare");
  storeLayout("Left", 0, kCGEventFlagMaskShift);  // key code 0 is the A key, a real key
  startManagers();
  MenuBarController& menuBar = built();
  const std::vector<std::string> shown = titles(menuBar.menu());
  ASSERT_GE(shown.size(), 13u);
  EXPECT_EQ(std::vector<std::string>(shown.begin() + 5, shown.begin() + 13),
            (std::vector<std::string>{"Mail", "Code", "-", "Wide", "Loose", "Bare", "Left", "-"}));
  EXPECT_EQ(menuBar.menu().indexOfItem(*menuBar.customLayoutItems()[0]), 8);
  // The chord that really acts, not a fixed modifier; an entry without a usable chord is still there.
  EXPECT_EQ(menuBar.customLayoutItems()[0]->keyEquivalentText(), "Ctrl+Alt+1");
  EXPECT_EQ(menuBar.customLayoutItems()[1]->keyEquivalentText(), "");
  EXPECT_EQ(menuBar.customLayoutItems()[2]->keyEquivalentText(), "");
  EXPECT_EQ(menuBar.customLayoutItems()[3]->keyEquivalentText(), "Shift+A");

  // Built-in actions: ten placements, the other display, left and right, then the desktops.
  const long left = menuBar.menu().indexOfItem(*menuBar.halfLeftLayoutMenuItem());
  EXPECT_EQ(shown[static_cast<std::size_t>(left) - 1], text("BottomHalf"));
  EXPECT_EQ(menuBar.halfLeftLayoutMenuItem()->image(), "halfLeftMenu");
  ASSERT_TRUE(menuBar.desktopMenuItem()->submenu());
  EXPECT_EQ(titles(*menuBar.desktopMenuItem()->submenu()),
            (std::vector<std::string>{text("Desktop") + " 1", text("Desktop") + " 2", text("Desktop") + " 3"}));
  EXPECT_EQ(menuBar.desktopMenuItems().size(), 3u);

  // Hiding the actions leaves out the whole section and its desktops.
  defaults::UserDefaults::standard().setBool(UserDefaultsService::showBuildInLayoutActionKey(), true);
  AppBridge::showBuildInLayoutActionChanged().onNext({});
  advance(0.5);
  EXPECT_TRUE(menuBar.desktopMenuItems().empty());
  EXPECT_EQ(menuBar.menu().indexOfItem(*menuBar.halfLeftLayoutMenuItem()), -1);
}

TEST_F(MenuBarTest, BurstsOfSettingsAndWorkspaceEventsFoldIntoOneRebuildButEveryLayoutChangeHasItsOwn) {
  MenuBarController& menuBar = built();
  ASSERT_EQ(rebuilds(), 1u);  // the first build, 0.5 s after the set-up

  WorkspaceBridge::workspaceAdded().onNext({});
  advance(0.3);
  WorkspaceBridge::workspaceRenamed().onNext({});
  advance(0.3);
  WorkspaceBridge::workspaceRemoved().onNext({});
  advance(0.49);
  EXPECT_EQ(rebuilds(), 1u);
  advance(0.01);
  EXPECT_EQ(rebuilds(), 2u);

  // A new layout shows without waiting for its first edit.
  storeLayout("Added");
  CustomLayoutBridge::layoutAdded().onNext(nullptr);
  advance(0.5);
  EXPECT_EQ(rebuilds(), 3u);
  EXPECT_EQ(menuBar.customLayouts().size(), 1u);

  for (int i = 0; i < 5; ++i) {
    CustomLayoutBridge::layoutChanged().onNext(nullptr);
    advance(0.2);
  }
  EXPECT_EQ(rebuilds(), 4u);  // the first change's, 1.0 s after it
  advance(0.79);
  EXPECT_EQ(rebuilds(), 7u);
  advance(0.01);
  EXPECT_EQ(rebuilds(), 8u);
  // None outlives the controller.
  CustomLayoutBridge::layoutChanged().onNext(nullptr);
  controller_.reset();
  advance(2.0);
  EXPECT_EQ(rebuilds(), 8u);
}

TEST_F(MenuBarTest, ALayoutRemovedInTheLayoutsPaneLeavesTheMenuAtOnceWhileOthersRemain) {
  storeLayout("Left");
  storeLayout("Middle");
  storeLayout("Right");
  MenuBarController& menuBar = built();
  ASSERT_EQ(menuBar.customLayouts().size(), 3u);
  CustomLayoutViewController list;
  list.view();
  list.tableViewSelectionDidChange(1);
  list.removeButtonTap().onNext();
  advance(0);
  std::vector<std::string> names;
  for (const auto& layout : menuBar.customLayouts()) names.push_back(layout->name());
  EXPECT_EQ(names, (std::vector<std::string>{"Left", "Right"}));
  const auto shown = titles(menuBar.menu());
  EXPECT_EQ(std::count(shown.begin(), shown.end(), "Middle"), 0);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), "Right"), 1);
}

TEST_F(MenuBarTest, AnOpenMenuIsLeftAsItIsUntilItClosesAndThenRebuiltOnce) {
  StatusBar::systemStatusBar().setViewFactory([] { return std::make_unique<FakeTray>(true); });
  MenuBarController& menuBar = built();
  auto& tray = *static_cast<FakeTray*>(menuBar.statusBarItem().view());
  const std::vector<std::string> before = titles(menuBar.menu());
  const int drawn = tray.menus;
  const std::size_t built = rebuilds();

  tray.open = true;
  storeWorkspace("Mail", "org.example.Mail");
  WorkspaceBridge::workspaceAdded().onNext({});
  CustomLayoutBridge::layoutChanged().onNext(nullptr);
  AppBridge::toggleAutoLayout().onNext({});
  advance(2.0);
  EXPECT_EQ(titles(menuBar.menu()), before) << "the open menu's model changed under it";
  EXPECT_EQ(tray.menus, drawn) << "the open menu was redrawn";
  EXPECT_EQ(rebuilds(), built);

  tray.close();
  EXPECT_EQ(rebuilds(), built + 1);
  EXPECT_EQ(tray.menus, drawn + 1);
  const std::vector<std::string> after = titles(menuBar.menu());
  EXPECT_NE(std::find(after.begin(), after.end(), "Mail"), after.end());
  EXPECT_NE(std::find(after.begin(), after.end(), text("EnableAutoLayout")), after.end());
  EXPECT_EQ(tray.entries, menuBar.menu().numberOfItems());

  // Nothing came while it was open: closing it leaves the menu alone.
  tray.open = true;
  tray.close();
  EXPECT_EQ(rebuilds(), built + 1);
  EXPECT_EQ(tray.menus, drawn + 1);
}

TEST_F(MenuBarTest, TheSwitchFlipsTheSettingAndLaysOutAllWindowsWhenTurnedBackOn) {
  struct CountingTarget final : LayoutAllTarget {
    void layoutAll() override { ++calls; }
    int calls = 0;
  } target;
  LayoutManager::shared();
  const LayoutAllTarget::Scope scope(target);
  MenuBarController& menuBar = built();
  EXPECT_EQ(menuBar.statusBarItem().button()->image(), "Menu");
  EXPECT_EQ(menuBar.autoLayoutMenuItem()->title(), text("DisableAutoLayout"));

  // The key is absent: that counts as on, so the first toggle turns it off.
  choose(menuBar.autoLayoutMenuItem());
  drain();
  EXPECT_EQ(defaults::UserDefaults::standard().objectForKey(UserDefaultsService::autoLayoutEnabledKey()),
            defaults::Value(0));
  EXPECT_EQ(menuBar.autoLayoutMenuItem()->title(), text("EnableAutoLayout"));
  EXPECT_EQ(menuBar.statusBarItem().button()->image(), "MenuDisabled");
  EXPECT_TRUE(menuBar.statusBarItem().button()->isTemplate());
  EXPECT_EQ(target.calls, 0);

  // The hot key and the URL action only publish, as the entry does.
  AppBridge::toggleAutoLayout().onNext({});
  drain();
  EXPECT_EQ(defaults::UserDefaults::standard().integerForKey(UserDefaultsService::autoLayoutEnabledKey()), 1);
  EXPECT_EQ(menuBar.autoLayoutMenuItem()->title(), text("DisableAutoLayout"));
  EXPECT_EQ(menuBar.statusBarItem().button()->image(), "Menu");
  EXPECT_EQ(target.calls, 1);
}

TEST_F(MenuBarTest, ASwitchThatCannotBeSavedKeepsTheStoredStateAndSaysSoOnTheScreen) {
  MenuBarController& menuBar = built();
  const auto file = defaults::UserDefaults::standard().filePath();
  std::filesystem::remove_all(file);
  std::filesystem::create_directories(file / "in the way");
  choose(menuBar.autoLayoutMenuItem());
  drain();
  EXPECT_EQ(UserDefaultsService::autoLayoutEnabled(), 1);
  EXPECT_EQ(menuBar.autoLayoutMenuItem()->title(), text("DisableAutoLayout"));
  EXPECT_EQ(menuBar.statusBarItem().button()->image(), "Menu");
  EXPECT_EQ(VkHUD::shared().text(), NSLocalizedString("SettingNotSaved"));
}

TEST_F(MenuBarTest, EntriesActOnTheirOwnModelsAndDesktops) {
  storeWorkspace("First", "org.example.First");
  storeWorkspace("Second", "org.example.Second");
  startManagers();
  const AXUIElement window = settledWindow();
  ASSERT_TRUE(apps().focusWindow(window));
  MenuBarController& menuBar = built();

  choose(menuBar.workspaceLayoutItems()[1]);
  advance(5.0);
  const auto& launches = sim().simLauncher().launches();
  ASSERT_FALSE(launches.empty());
  EXPECT_EQ(launches.front().application, "org.example.Second");

  choose(menuBar.desktopMenuItems()[2]);
  advance(1.0);
  EXPECT_TRUE(shownOn(window, 2));  // the third desktop
  EXPECT_FALSE(shownOn(window, 0));
}

TEST_F(MenuBarTest, ApplicationEntriesPublishOrCallTheirService) {
  MenuBarController& menuBar = built();
  std::vector<int> panes;
  int quits = 0;
  rx::DisposeBag bag;
  AppBridge::openPreferences().subscribe([&](const int& pane) { panes.push_back(pane); }).disposed(bag);
  AppBridge::quit().subscribe([&](const rx::Unit&) { ++quits; }).disposed(bag);
  choose(menuBar.preferenceMenuItem());
  EXPECT_EQ(panes, std::vector<int>{-1});
  choose(menuBar.checkUpdateMenuItem());
  EXPECT_EQ(updater_.count("check"), 1);
  choose(menuBar.quitMenuItem());
  EXPECT_EQ(quits, 1);
  MenuItem& guide = entryTitled(text("Guide"));
  guide.performAction();
  EXPECT_EQ(opened_, std::vector<std::string>{"https://tilvane.app/guide"});
}

TEST_F(MenuBarTest, AStoredHiddenIconStaysHiddenAndAMissingTrayIsToldOnceAndMakesTheMenuUnreachable) {
  UserDefaultsService::setHideInMenuBar(1);
  StatusBar::systemStatusBar().setViewFactory([] { return std::make_unique<FakeTray>(false); });
  MenuBarController& menuBar = built();
  EXPECT_EQ(menuBar.statusBarItem().length(), 0);
  EXPECT_TRUE(logLines("no system tray").empty());  // hidden on purpose: nothing to tell

  AppBridge::hideInMenuBarChanged().onNext(false);
  EXPECT_EQ(menuBar.statusBarItem().length(), -1);
  EXPECT_FALSE(menuBar.isReachable());
  AppBridge::hideInMenuBarChanged().onNext(true);
  AppBridge::hideInMenuBarChanged().onNext(false);
  EXPECT_EQ(logLines("no system tray").size(), 1u);
  auto* tray = static_cast<FakeTray*>(menuBar.statusBarItem().view());
  EXPECT_TRUE(tray->visible);
  EXPECT_EQ(tray->image, "Menu");
  EXPECT_EQ(tray->entries, menuBar.menu().numberOfItems());
}

}  // namespace
}  // namespace tilvane::test
