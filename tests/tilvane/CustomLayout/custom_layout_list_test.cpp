// The custom-layout list against a temporary store, with its editor: the stored layouts read once, add, the
// selection after each removal, the events in their order, and every edit of the selected layout reaching the
// list and the store.
#include <gtest/gtest.h>

#include "CustomLayout/CustomLayoutViewController.h"
#include "LayoutsPaneFixture.h"
#include "platform/l10n/Localization.h"

namespace tilvane::test {

class CustomLayoutListTest : public LayoutsPaneTest {
 protected:
  /// Loads the list's view (no toolkit): it reads the store then.
  CustomLayoutViewController& open() {
    list.view();
    return list;
  }
  std::vector<std::string> names() const {
    std::vector<std::string> result;
    for (const auto& m : list.layouts()) result.push_back(m->name());
    return result;
  }
  CustomLayoutDetailViewController& editor() { return list.deatilViewController(); }

  AlertRecordingViews views;
  CustomLayoutViewController list{&views};
};

namespace {

TEST_F(CustomLayoutListTest, AnEmptyStoreGivesNoRowsAndAnAddedLayoutIsSelectedButNotStored) {
  open();
  EXPECT_EQ(list.numberOfRows(), 0u);
  EXPECT_EQ(list.selectedRow(), -1);
  EXPECT_FALSE(list.introHidden());
  EXPECT_TRUE(events.empty());
  list.removeButtonTap().onNext();
  EXPECT_TRUE(events.empty());

  list.addButtonTap().onNext();
  ASSERT_EQ(list.numberOfRows(), 1u);
  EXPECT_EQ(list.selectedRow(), 0);
  EXPECT_TRUE(list.introHidden());
  EXPECT_EQ(buses(), (std::vector<std::string>{"selected", "added"}));
  const auto added = events[0].layout;
  EXPECT_EQ(events[1].layout, added);
  EXPECT_EQ(fieldsOf(*added), (LayoutFields{"New Layout", 0, 65535, 4, 4, -1, -1}));
  EXPECT_EQ(editor().rule(), added);
  EXPECT_TRUE(storedNames().empty());

  // Removing the never-stored layout deletes nothing, empties the list and clears the editor.
  events.clear();
  list.removeButtonTap().onNext();
  EXPECT_EQ(list.numberOfRows(), 0u);
  EXPECT_EQ(buses(), (std::vector<std::string>{"removed", "selected", "changed"}));
  EXPECT_EQ(events[1].layout, nullptr);
  EXPECT_EQ(events[2].layout, nullptr);
  EXPECT_FALSE(list.introHidden());
  EXPECT_TRUE(editor().controls().viewHidden);
}

TEST_F(CustomLayoutListTest, RemovingSelectsThePreviousRowOrTheNewFirstAndDeletesAfterPublishing) {
  for (const char* name : {"A", "B", "C", "D"}) stored(layout(name));
  open();
  EXPECT_EQ(names(), (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_TRUE(events.empty());  // nothing selected, nothing published

  list.tableViewSelectionDidChange(2);
  events.clear();
  list.onRemoveLayout();
  EXPECT_EQ(names(), (std::vector<std::string>{"A", "B", "D"}));
  EXPECT_EQ(list.selectedRow(), 1);
  EXPECT_EQ(buses(), (std::vector<std::string>{"removed", "selected"}));
  EXPECT_TRUE(events[0].stored.has_value()) << "deleted before it was published";
  EXPECT_EQ(events[1].layout->name(), "B");
  EXPECT_EQ(editor().rule()->name(), "B");
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"A", "B", "D"}));

  list.tableViewSelectionDidChange(0);
  events.clear();
  list.onRemoveLayout();
  EXPECT_EQ(list.selectedRow(), 0);
  EXPECT_EQ(buses(), (std::vector<std::string>{"removed", "selected"}));
  EXPECT_EQ(editor().rule()->name(), "B");
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"B", "D"}));

  // The user clears the selection: the editor hides, the introduction shows, remove does nothing.
  list.tableViewSelectionDidChange(-1);
  EXPECT_FALSE(list.introHidden());
  EXPECT_TRUE(editor().controls().viewHidden);
  events.clear();
  list.onRemoveLayout();
  EXPECT_TRUE(events.empty());
  // A change with nothing, or of a layout the list does not hold, writes nothing.
  CustomLayoutBridge::layoutChanged().onNext(nullptr);
  CustomLayoutBridge::layoutChanged().onNext(layout("Stranger"));
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"B", "D"}));
}

TEST_F(CustomLayoutListTest, EveryEditReachesTheListAndTheStoreSoReselectingNeverBringsBackAStaleCopy) {
  stored(layout("Kept"));
  open();
  list.addButtonTap().onNext();
  editor().titleInputText().onNext("Typed");
  EXPECT_EQ(names(), (std::vector<std::string>{"Kept", "Typed"}));
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"Kept", "Typed"}));

  // Without a row on show (no toolkit here, or the row scrolled away) edits still land in the list.
  advance(1.0);
  editor().setRuleType(1);
  list.tableViewSelectionDidChange(0);
  list.tableViewSelectionDidChange(1);
  EXPECT_EQ(editor().rule()->type(), 1);
  editor().setRuleRows(1);
  EXPECT_EQ(list.layouts()[1]->height(), 2);
  const auto stored = storedFields(list.layouts()[1]->id());
  EXPECT_EQ(stored, (LayoutFields{"Typed", 1, 0xFF, 4, 2, -1, -1}));
  EXPECT_FALSE(log.contains("🔴"));
}

// Another Tilvane deleted the layout shown here: an edit does not bring it back, and it leaves the list. A layout
// added here is stored by its first edit.
TEST_F(CustomLayoutListTest, AnEditOfALayoutDeletedElsewhereIsNotStoredAndTheLayoutLeavesTheList) {
  for (const char* name : {"A", "B"}) stored(layout(name));
  open();
  list.addButtonTap().onNext();
  editor().setRuleType(2);
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"A", "B", "New Layout"}));
  StoreService::shared().deleteCustomLayout(*editor().rule());
  events.clear();
  editor().setRuleType(1);
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(names(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(buses(), (std::vector<std::string>{"changed", "removed", "selected"}));
  EXPECT_EQ(editor().rule()->name(), "B");
  EXPECT_EQ(views.alerts, std::vector<std::string>{NSLocalizedString("CustomLayoutGone")});
}

}  // namespace
}  // namespace tilvane::test
