#include <gtest/gtest.h>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Screens/ScreenManager.h"
#include "Layout/LayoutItem.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Shortcuts/ShortcutsManager.h"
#include "platform/base/SharedInstance.h"
#include "platform/hotkeys/MASShortcutMonitor.h"
#include "platform/hotkeys/sim/SimHotKeys.h"
#include "platform/store/Database.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

constexpr std::int64_t kControlOption = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;

CustomLayoutModelPtr layout(const std::string& name, std::int64_t keyCode, std::int64_t flags) {
  auto model = std::make_shared<CustomLayoutModel>();
  model->setName(name);
  model->setType(static_cast<std::int64_t>(CustomLayoutType::fix));
  model->setMatrixValue(0b10);  // the left column of a 1 × 2 grid
  model->setWidth(2);
  model->setHeight(1);
  model->setKeyCode(keyCode);
  model->setModifierFlags(flags);
  return model;
}

/// A fresh copy with another name, as the editor saves an edited layout.
CustomLayoutModelPtr renamed(const CustomLayoutModel& original, const std::string& name) {
  auto copy = store::unmanagedCopy(original);
  copy->setName(name);
  return copy;
}

// Two shared desktops, desktop 1 shown; the hot keys on the simulated server.
class ShortcutsManagerTest : public test::WindowWorld {
 protected:
  ShortcutsManagerTest() : WindowWorld(2) {
    sim().switchToSpace(sim().spaceUuids()[1]);
  }
  void store(const std::vector<CustomLayoutModelPtr>& layouts) {
    const auto database = store::Database::open();
    database->write([&] {
      for (const auto& l : layouts) database->add(l);
    });
  }
  /// The launch: the stored layouts' hot keys are registered by the shortcuts manager's step.
  void start() { startManagers(); }
  ShortcutsManager& manager() { return ShortcutsManager::shared(); }
  std::vector<std::string> pairNames() {
    std::vector<std::string> names;
    for (const auto& pair : manager().shortcutLayouts()) names.push_back(pair.customLayout->name());
    return names;
  }
  bool registered(std::int64_t keyCode, std::int64_t flags) {
    return hotKeys.isGrabbed(MASShortcut(static_cast<std::uint64_t>(keyCode), static_cast<std::uint64_t>(flags)));
  }

  sim::SimHotKeys hotKeys;
  HotKeyServer::Scope hotKeyScope{hotKeys};
};

TEST_F(ShortcutsManagerTest, APressMovesTheFocusedWindowAKeyHeldElsewhereWaitsAndEveryKeyGoesWithTheManager) {
  hotKeys.setHeldByOtherProgram(MASShortcut(19, kControlOption), true);
  const auto held = layout("Held", 19, kControlOption);
  store({layout("Left", 18, kControlOption), held});
  start();
  const AXUIElement w = settledWindow();
  apps().focusWindow(w);
  EXPECT_TRUE(hotKeys.press(18, kControlOption));
  drain();
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 877));
  const AutoLayoutModel& model = *itemOf(w)->layoutModel();
  EXPECT_EQ(test::fractionsOf(model), CGRectMake(0, 0, 0.5, 1));
  EXPECT_EQ(model.spaceIndex(), 1);

  // The held key is logged with the layout's name, and registered on the layout's next change.
  EXPECT_FALSE(registered(19, kControlOption));
  const auto warnings = logLines("Control+Option+key 19");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("\"Held\""), std::string::npos);
  // Edits that leave it waiting (each letter typed in the name) say no more; a key that starts to wait is told.
  const auto edited = renamed(*held, "Held, renamed");
  CustomLayoutBridge::layoutChanged().onNext(edited);
  CustomLayoutBridge::layoutChanged().onNext(renamed(*edited, "Held, renamed again"));
  EXPECT_EQ(logLines("Control+Option+key 19").size(), 1u);
  hotKeys.setHeldByOtherProgram(MASShortcut(20, kControlOption), true);
  auto otherKey = renamed(*held, "Held elsewhere");
  otherKey->setKeyCode(20);
  CustomLayoutBridge::layoutChanged().onNext(otherKey);
  EXPECT_EQ(logLines("Control+Option+key 20").size(), 1u);
  hotKeys.setHeldByOtherProgram(MASShortcut(19, kControlOption), false);
  CustomLayoutBridge::layoutChanged().onNext(renamed(*held, "Held no more"));
  EXPECT_TRUE(registered(19, kControlOption));

  SharedInstance<ShortcutsManager>::reset();
  EXPECT_FALSE(registered(18, kControlOption));
  EXPECT_FALSE(registered(19, kControlOption));
  CustomLayoutBridge::layoutAdded().onNext(layout("Late", 20, kControlOption));  // its subscriptions went too
  EXPECT_FALSE(registered(20, kControlOption));
}

TEST_F(ShortcutsManagerTest, OnlyCompleteHotKeysAreRegisteredAndEachChangeReplacesTheOldCombination) {
  const auto first = layout("First", 18, kControlOption);
  const auto plain = layout("Plain", -1, -1);
  store({first, plain, layout("No key", -1, kControlOption), layout("No modifiers", 5, -1)});
  start();
  EXPECT_EQ(hotKeys.grabRequests(), 1u);
  CustomLayoutBridge::layoutChanged().onNext(renamed(*first, "Renamed"));  // the same key again, at the end
  EXPECT_EQ(pairNames(), (std::vector<std::string>{"Plain", "No key", "No modifiers", "Renamed"}));
  EXPECT_EQ(hotKeys.grabRequests(), 2u);
  EXPECT_TRUE(registered(18, kControlOption));
  CustomLayoutBridge::layoutAdded().onNext(layout("Added", 22, kControlOption));
  EXPECT_TRUE(registered(22, kControlOption));

  auto keyed = store::unmanagedCopy(*plain);
  keyed->setKeyCode(20);
  keyed->setModifierFlags(kCGEventFlagMaskCommand);
  CustomLayoutBridge::layoutChanged().onNext(keyed);
  EXPECT_TRUE(registered(20, kCGEventFlagMaskCommand));
  keyed = store::unmanagedCopy(*keyed);
  keyed->setKeyCode(21);
  CustomLayoutBridge::layoutChanged().onNext(keyed);
  EXPECT_FALSE(registered(20, kCGEventFlagMaskCommand));
  EXPECT_TRUE(registered(21, kCGEventFlagMaskCommand));

  CustomLayoutBridge::layoutRemoved().onNext(first);
  CustomLayoutBridge::layoutRemoved().onNext(plain);
  EXPECT_FALSE(registered(18, kControlOption));
  EXPECT_FALSE(registered(21, kCGEventFlagMaskCommand));
  // Changes of nothing or of unknown layouts are ignored.
  CustomLayoutBridge::layoutChanged().onNext(nullptr);
  CustomLayoutBridge::layoutChanged().onNext(layout("Unknown", 23, kControlOption));
  CustomLayoutBridge::layoutRemoved().onNext(layout("Unknown too", 22, kControlOption));
  EXPECT_EQ(pairNames(), (std::vector<std::string>{"No key", "No modifiers", "Added"}));
  EXPECT_TRUE(registered(22, kControlOption));
  EXPECT_FALSE(registered(23, kControlOption));
}

}  // namespace
}  // namespace tilvane
