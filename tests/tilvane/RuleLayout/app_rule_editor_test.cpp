// The rule editor without a screen, against a temporary store: what each choice stores and publishes, what it
// shows, and that a change the store refuses is neither published nor shown.
#include <gtest/gtest.h>

#include "AppManager/Catalogue/AppManager.h"
#include "Layout/LayoutManager.h"
#include "PaneWorld.h"
#include "RuleLayout/AppRuleEditor.h"
#include "RuleLayout/AppRuleList.h"
#include "RuleLayout/Grid/MatrixResize.h"
#include "support/windows/LauncherByHand.h"

namespace tilvane::test {
namespace {

using Grid = AppRuleEditor::Grid;
using M = TransformUtils::Matrix;

const AppDescriptor kApp{"Mailer", "org.example.mailer", "/nowhere/mailer.png"};

struct Stored {
  std::int64_t type, width, height, value;
  bool operator==(const Stored&) const = default;
};
Stored fields(const RuleLayoutModelPtr& rule) {
  return {rule->type(), rule->width(), rule->height(), rule->matrixValue()};
}

class AppRuleEditorTest : public PaneWorld {
 protected:
  AppRuleEditorTest() { editor.bind(); }
  void show(const RuleLayoutModelPtr& rule) { RuleLayoutBridge::detailRule().onNext(AppRule{kApp, rule}); }
  // Taps a cell of the grid on show.
  static void tap(AppRuleMatrixView& grid, std::size_t row, std::size_t column) {
    grid.cellAt(row, column)->mouseDown();
    grid.cellAt(row, column)->mouseUp();
  }

  AppRuleEditor editor;
};

TEST_F(AppRuleEditorTest, NothingIsShownOrSavedBeforeAnApplication) {
  EXPECT_FALSE(editor.containerVisible());
  for (int i = 0; i < 4; ++i) editor.saveRuleType(i);
  editor.saveRows(1);
  editor.saveMatrixValue(3);
  EXPECT_TRUE(published.empty());
  EXPECT_TRUE(StoreService::shared().rules().empty());
}

TEST_F(AppRuleEditorTest, AnApplicationWithoutARuleShowsAutomaticAndNoGrid) {
  show(nullptr);
  EXPECT_TRUE(editor.containerVisible());
  EXPECT_EQ(editor.app(), kApp);
  EXPECT_EQ(editor.ruleIndex(), 0);
  EXPECT_EQ(editor.visibleGrid(), Grid::none);
  EXPECT_FALSE(editor.gridControlsVisible());
  show(store(kApp.bundleID, 3, 4, 4, 65535));  // do not lay out: the popup only
  EXPECT_EQ(editor.ruleIndex(), 3);
  EXPECT_FALSE(editor.gridControlsVisible());
}

TEST_F(AppRuleEditorTest, ChoosingFixedStoresTheWholeAreaAndPublishesOnce) {
  show(nullptr);
  editor.saveRuleType(1);
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(published[0].app, kApp);
  ASSERT_TRUE(storedRule(kApp.bundleID));
  EXPECT_EQ(fields(storedRule(kApp.bundleID)), (Stored{1, 4, 4, 65535}));
  EXPECT_EQ(fields(published[0].rule), (Stored{1, 4, 4, 65535}));
  EXPECT_EQ(editor.rule(), published[0].rule);
  EXPECT_EQ(editor.visibleGrid(), Grid::fixed);
  EXPECT_EQ(editor.rowIndex(), 3);
  EXPECT_EQ(editor.columnIndex(), 3);
  for (const auto& row : editor.fixPositionMatrixView().rects())
    for (const MatrixRect* cell : row) EXPECT_DOUBLE_EQ(cell->fill(), FixPostionMatrixView::kChosenFill);
  editor.saveRuleType(1);  // the type it has: nothing
  EXPECT_EQ(published.size(), 1u);
}

TEST_F(AppRuleEditorTest, ANewTypeStartsFromItsOwnGrid) {
  show(store(kApp.bundleID, 1, 3, 5, 0b111));
  EXPECT_EQ(editor.rowIndex(), 4);
  EXPECT_EQ(editor.columnIndex(), 2);
  editor.saveRuleType(2);
  EXPECT_EQ(fields(storedRule(kApp.bundleID)), (Stored{2, 2, 2, 15}));
  EXPECT_EQ(editor.visibleGrid(), Grid::arranged);
  EXPECT_EQ(editor.arrangedMatrixView().matrix, M(2, std::vector<bool>(2, true)));
  editor.saveRuleType(3);
  EXPECT_EQ(fields(storedRule(kApp.bundleID)), (Stored{3, 4, 4, 65535}));
  EXPECT_EQ(editor.visibleGrid(), Grid::none);
  EXPECT_EQ(published.size(), 2u);
}

TEST_F(AppRuleEditorTest, AutomaticDeletesTheRuleOnceAndPublishesNoRule) {
  show(store(kApp.bundleID, 1, 4, 4, 65535));
  editor.saveRuleType(0);
  EXPECT_FALSE(storedRule(kApp.bundleID));
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(published[0].rule, nullptr);
  EXPECT_EQ(editor.ruleIndex(), 0);
  editor.saveRuleType(0);
  EXPECT_EQ(published.size(), 1u);

  // An application that never had a rule: nothing to delete, published all the same.
  show(nullptr);
  editor.saveRuleType(0);
  EXPECT_EQ(published.size(), 2u);
}

TEST_F(AppRuleEditorTest, ResizingResamplesTheGridAndKeepsACellOn) {
  show(store(kApp.bundleID, 1, 4, 4, 1));  // the bottom-right cell only
  editor.saveRows(1);
  EXPECT_EQ(fields(storedRule(kApp.bundleID)), (Stored{1, 4, 2, 128}));
  EXPECT_EQ(editor.fixPositionMatrixView().rects().size(), 2u);
  EXPECT_EQ(editor.rowIndex(), 1);

  show(store(kApp.bundleID, 2, 2, 2, 15));
  editor.saveColumns(3);
  EXPECT_EQ(fields(storedRule(kApp.bundleID)), (Stored{2, 4, 2, 255}));
  EXPECT_EQ(editor.arrangedMatrixView().rects().front().size(), 4u);
  ASSERT_EQ(published.size(), 2u);

  editor.saveColumns(3);  // the current counts again: nothing
  editor.saveRows(1);
  EXPECT_EQ(published.size(), 2u);

  // Sampling reads the top-left corner of each new cell's share of the old grid.
  EXPECT_EQ(resizeMatrix({{true, false}, {false, true}}, 4, 4),
            (M{{true, true, false, false}, {true, true, false, false}, {false, false, true, true},
               {false, false, true, true}}));
  EXPECT_EQ(resizeMatrix({{false, false, false}, {false, false, true}}, 1, 1), (M{{true}}));
  EXPECT_EQ(resizeMatrix({}, 2, 1), (M{{true, false}}));
  EXPECT_EQ(resizeMatrix({{true}, {}}, 1, 2), (M{{true}, {false}}));  // a short row is read as off
}

TEST_F(AppRuleEditorTest, ANonSquareGridKeepsItsColumnsAndRowsApartWhenEitherChanges) {
  constexpr bool T = true, F = false;
  auto storedGrid = [] {
    const RuleLayoutModelPtr rule = storedRule(kApp.bundleID);
    return rule ? TransformUtils::matrix(rule->matrixValue(), static_cast<int>(rule->width()),
                                         static_cast<int>(rule->height()))
                : M{};
  };
  // 3 columns of 2 rows, the top-left and the bottom-right cell.
  show(store(kApp.bundleID, 2, 3, 2, 0b100'001));
  editor.saveRows(3);  // 4 rows: each old row twice
  EXPECT_EQ(fields(storedRule(kApp.bundleID)).width, 3);
  EXPECT_EQ(storedGrid(), (M{{T, F, F}, {T, F, F}, {F, F, T}, {F, F, T}}));
  EXPECT_EQ(editor.arrangedMatrixView().rects().size(), 4u);
  EXPECT_EQ(editor.arrangedMatrixView().rects().front().size(), 3u);

  editor.saveColumns(4);  // 5 columns sample old columns 0, 0, 1, 1, 2
  EXPECT_EQ(storedGrid(), (M{{T, T, F, F, F}, {T, T, F, F, F}, {F, F, F, F, T}, {F, F, F, F, T}}));
  EXPECT_EQ(editor.rowIndex(), 3);
  EXPECT_EQ(editor.columnIndex(), 4);

  editor.saveRows(0);  // the first row alone
  EXPECT_EQ(storedGrid(), (M{{T, T, F, F, F}}));
  editor.saveColumns(1);  // columns 0 and 2 of 5
  EXPECT_EQ(fields(storedRule(kApp.bundleID)), (Stored{2, 2, 1, 0b10}));

  // The fixed grid resizes the same way: the top-right cell of 2 × 3 stays top right at 4 × 3.
  show(store(kApp.bundleID, 1, 2, 3, 0b010'000));
  editor.saveColumns(3);
  EXPECT_EQ(fields(storedRule(kApp.bundleID)), (Stored{1, 4, 3, 0b0011'0000'0000}));
}

TEST_F(AppRuleEditorTest, EveryArrangedTapSavesButTheFixedGridOnlyAFinishedRectangle) {
  show(store(kApp.bundleID, 2, 2, 2, 15));
  tap(editor.arrangedMatrixView(), 0, 0);
  EXPECT_EQ(storedRule(kApp.bundleID)->matrixValue(), 7);
  tap(editor.arrangedMatrixView(), 0, 0);  // back to the value it had
  EXPECT_EQ(storedRule(kApp.bundleID)->matrixValue(), 15);
  ASSERT_EQ(published.size(), 2u);
  EXPECT_EQ(fields(published[1].rule), (Stored{2, 2, 2, 15}));

  show(store(kApp.bundleID, 1, 2, 1, 0b11));
  FixPostionMatrixView& fixed = editor.fixPositionMatrixView();
  tap(fixed, 0, 1);
  EXPECT_EQ(published.size(), 2u);
  tap(fixed, 0, 1);
  ASSERT_EQ(published.size(), 3u);
  EXPECT_EQ(fields(storedRule(kApp.bundleID)), (Stored{1, 2, 1, 1}));  // the right half
}

TEST_F(AppRuleEditorTest, AChangeTheStoreRefusesIsLoggedNotPublishedAndTheRuleInForceStaysOnShow) {
  breakDatabase();
  auto inForce = std::make_shared<RuleLayoutModel>();  // the layout engine's, loaded before the store broke
  inForce->setId(kApp.bundleID);
  inForce->setType(2);
  inForce->setWidth(2);
  inForce->setHeight(2);
  inForce->setMatrixValue(15);
  show(inForce);
  editor.saveRuleType(0);  // a delete
  editor.saveRuleType(1);
  editor.saveColumns(3);
  tap(editor.arrangedMatrixView(), 0, 0);
  EXPECT_TRUE(published.empty());
  EXPECT_EQ(log.count("🔴 could not delete the rule of \"org.example.mailer\""), 1u);
  EXPECT_EQ(log.count("🔴 could not save the rule of \"org.example.mailer\""), 3u);
  EXPECT_EQ(editor.rule(), inForce);
  EXPECT_EQ(editor.ruleIndex(), 2);
  EXPECT_EQ(editor.columnIndex(), 1);
  EXPECT_EQ(editor.arrangedMatrixView().matrix, M(2, std::vector<bool>(2, true)));  // the tap undone
}

TEST_F(AppRuleEditorTest, TheListTheEngineAndTheEditorMeetOnTheBridge) {
  store(kApp.bundleID, 2, 2, 2, 15);
  LayoutManager::shared().setup();
  LayoutManager::shared().bindRules();
  AppManager::shared().apps() = {kApp};
  AppRuleList list(nullptr);
  list.load();
  list.selectionDidChange(0);
  ASSERT_TRUE(editor.rule());
  EXPECT_EQ(fields(editor.rule()), (Stored{2, 2, 2, 15}));
  editor.saveRuleType(1);
  EXPECT_EQ(fields(LayoutManager::shared().rules().at(kApp.bundleID)), (Stored{1, 4, 4, 65535}));
  editor.saveRuleType(0);
  EXPECT_EQ(LayoutManager::shared().rules().count(kApp.bundleID), 0u);
}

// An entry known by a class guessed from its program ("Tilvaneclock") whose rule was stored under its windows'
// class ("TilvaneClock"): the rule is the entry's, and edits go to it rather than beside it. Any other entry's
// rule has its identifier, case and all.
TEST_F(AppRuleEditorTest, ARuleUnderTheEntrysClassInAnotherCaseIsShownAndEdited) {
  const AppDescriptor clock{"Clock", addLauncherByHand(tempDir() / "Desktop", "tilvaneclock"), ""};
  ASSERT_EQ(clock.bundleID, "Tilvaneclock");
  store("TilvaneClock", 1, 4, 4, 65535);
  store("org.example.Mailer", 1, 4, 4, 65535);
  LayoutManager::shared().setup();
  LayoutManager::shared().bindRules();
  RuleLayoutBridge::appChanged().onNext(kApp);
  EXPECT_FALSE(editor.rule());
  RuleLayoutBridge::appChanged().onNext(clock);
  ASSERT_TRUE(editor.rule());
  editor.saveRuleType(2);
  EXPECT_EQ(fields(storedRule("TilvaneClock")), (Stored{2, 2, 2, 15}));
  editor.saveRuleType(0);
  EXPECT_FALSE(storedRule("TilvaneClock"));
  EXPECT_FALSE(storedRule("Tilvaneclock"));
  EXPECT_EQ(LayoutManager::shared().rules().count("TilvaneClock"), 0u);
}

}  // namespace
}  // namespace tilvane::test
