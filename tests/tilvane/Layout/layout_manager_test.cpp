#include <gtest/gtest.h>

#include "AppManager/Settings/UserDefaultsService.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/RuleLayoutModel.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/store/Database.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

using test::fractionsOf;

class LayoutManagerTest : public test::WindowWorld {
 protected:
  LayoutManagerTest() { startManagers(); }
  LayoutManager& manager() { return LayoutManager::shared(); }
};

TEST_F(LayoutManagerTest, ANewWindowMovesToItsRememberedFraction) {
  storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  const AXUIElement w = admitWindow({.frame = CGRectMake(100, 100, 400, 300)});
  drain();
  EXPECT_EQ(frameOf(w), CGRectMake(720, 23, 720, 877));

  defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), true);
  storeRecord("org.example.Editor", 1, CGRectMake(0, 0, 0.5, 1));
  const AXUIElement gapped = admitWindow({.frame = CGRectMake(100, 100, 400, 300)});
  drain();
  EXPECT_EQ(frameOf(gapped), CGRectMake(8, 31, 704, 861));
}

TEST_F(LayoutManagerTest, WithAutomaticLayoutOffAWindowIsAdmittedAndItsRecordRefreshedButNotMoved) {
  defaults::UserDefaults::standard().setInteger(UserDefaultsService::autoLayoutEnabledKey(), 0);
  const auto record = storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  store::Database::open()->write([&] {
    record->setScreenIndex(-1);
    record->setSpaceIndex(-1);
  });
  const AXUIElement w = admitWindow({.frame = CGRectMake(100, 100, 400, 300)});
  drain();
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 400, 300));
  ASSERT_TRUE(itemOf(w));
  EXPECT_EQ(itemOf(w)->layoutModel(), record);
  EXPECT_EQ(record->screenIndex(), 0);
  EXPECT_EQ(record->spaceIndex(), 0);

  // Switching it on lays out every window again, after the switch has returned.
  UserDefaultsService::setAutoLayoutEnabled(1);
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 400, 300));
  drain();
  EXPECT_EQ(frameOf(w), CGRectMake(720, 23, 720, 877));
}

TEST_F(LayoutManagerTest, TheLayoutingMarkLastsUntilTwoAndAHalfSecondsAfterTheOperation) {
  const AXUIElement w = admitWindow({.frame = CGRectMake(100, 100, 400, 300)});
  const auto item = itemOf(w);
  ASSERT_TRUE(item);
  EXPECT_TRUE(item->isLayouting());
  drain();
  advance(2.499);
  EXPECT_TRUE(item->isLayouting());
  advance(0.001);
  EXPECT_FALSE(item->isLayouting());
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 400, 300)) << "its own new record puts it where it is";
  EXPECT_EQ(records().size(), 1u) << "laying out stores the new record";
}

TEST_F(LayoutManagerTest, DuringAWorkspaceRestoreWindowsAreRecordedNotMovedAndReleasedLater) {
  storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  manager().setWorkspaceRunning(true);
  const AXUIElement w = admitWindow({.frame = CGRectMake(100, 100, 400, 300)});
  const AXUIElement fresh = admitWindow({.frame = CGRectMake(50, 60, 400, 300)});
  drain();
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 400, 300));
  EXPECT_EQ(manager().layoutOperationQueue().operationCount(), 0u);
  EXPECT_EQ(records().size(), 2u) << "the new window's record is stored";
  EXPECT_TRUE(itemOf(fresh)->isLayouting());
  advance(2.5);
  EXPECT_FALSE(itemOf(fresh)->isLayouting());

  // So the user's later moves of it are remembered.
  apps().userMoveWindow(fresh, CGRectMake(0, 23, 720, 877));
  advance(2.0);
  EXPECT_EQ(fractionsOf(*itemOf(fresh)->layoutModel()), CGRectMake(0, 0, 0.5, 1));
}

TEST_F(LayoutManagerTest, RemovingAWindowDropsEveryItemThatHoldsIt) {
  const AXUIElement w = admitWindow({});
  manager().addWindow(SIWindow(w));
  const AXUIElement other = admitWindow({});
  ASSERT_EQ(manager().layoutItems().size(), 3u);
  manager().removeWindow(SIWindow(AXUIElement{AXUIElement::Role::window, 1, 99}));
  EXPECT_EQ(manager().layoutItems().size(), 3u);
  manager().removeWindow(SIWindow(w));
  ASSERT_EQ(manager().layoutItems().size(), 1u);
  EXPECT_EQ(manager().layoutItems()[0]->window(), SIWindow(other));
}

TEST_F(LayoutManagerTest, AnApplicationRuleWinsOverTheRememberedFrame) {
  storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  auto rule = std::make_shared<RuleLayoutModel>();
  rule->setId("org.example.Editor");
  rule->setType(static_cast<std::int64_t>(RuleLayoutType::fix));
  rule->setMatrixValue(52224);  // the top-left 2 x 2 block of 4 x 4
  manager().rules()[rule->id()] = rule;
  const AXUIElement w = admitWindow({});
  drain();
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 438.5));
  EXPECT_EQ(fractionsOf(*itemOf(w)->layoutModel()), CGRectMake(0, 0, 0.5, 0.5)) << "a fixed rule saves its frame";

  rule->setType(static_cast<std::int64_t>(RuleLayoutType::ignore));
  manager().layoutAll();
  drain();
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 438.5)) << "an ignore rule falls back to the remembered frame";
}

}  // namespace
}  // namespace tilvane
