// The custom-layout editor against a temporary store: what it shows, and for every field one event published
// before the write, nothing for the same value, the grid rules of each type, the throttled name and its layout,
// bounds on damaged records, and failed writes said at error level.
#include <gtest/gtest.h>

#include "CustomLayout/CustomLayoutDetailViewController.h"
#include "LayoutsPaneFixture.h"
#include "platform/desktop/CGEvent.h"
#include "platform/l10n/Localization.h"

namespace tilvane::test {
namespace {

constexpr std::int64_t kControlOption = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;
constexpr std::uint64_t kKeyR = 15;

class CustomLayoutEditorTest : public LayoutsPaneTest {
 protected:
  CustomLayoutEditorTest() { editor.view(); }
  /// Shows `m` as the list does when its row is selected.
  void select(const CustomLayoutModelPtr& m) { CustomLayoutBridge::selectedLayout().onNext(m); }
  /// The user types `text` into the name field.
  void type(const std::string& text) { editor.titleInputText().onNext(text); }
  /// Checks that exactly one change went out since `before`, before the store held it, and that the store holds
  /// it now.
  void expectOneSave(std::size_t before, const LayoutFields& now) {
    const auto changes = eventsOn("changed");
    ASSERT_EQ(changes.size(), before + 1);
    const auto& event = changes.back();
    EXPECT_EQ(fieldsOf(*event.layout), now);
    EXPECT_NE(event.stored, now) << "written before it was published";
    EXPECT_EQ(storedFields(event.layout->id()), now);
    EXPECT_EQ(editor.rule(), event.layout);
  }

  AlertRecordingViews views;
  CustomLayoutDetailViewController editor{&views};
};

TEST_F(CustomLayoutEditorTest, ShowsALayoutByItsTypeAndHidesForNone) {
  const auto& controls = editor.controls();
  EXPECT_TRUE(controls.containerHidden);
  auto fixed = layout("Right", 1, 2, 1, 0b01);
  fixed->setKeyCode(kKeyR);
  fixed->setModifierFlags(kControlOption);
  select(fixed);
  EXPECT_FALSE(controls.viewHidden);
  EXPECT_FALSE(controls.containerHidden);
  EXPECT_EQ(controls.name, "Right");
  EXPECT_EQ(controls.typeIndex, 1);
  EXPECT_FALSE(controls.fixGridHidden);
  EXPECT_TRUE(controls.arrangedGridHidden);
  EXPECT_FALSE(controls.gridControlsHidden);
  EXPECT_EQ(controls.rowIndex, 0);
  EXPECT_EQ(controls.columnIndex, 1);
  EXPECT_EQ(controls.shortcut, MASShortcut(kKeyR, kControlOption));
  auto& grid = editor.fixPositionMatrixView();
  ASSERT_EQ(grid.rects().size(), 1u);
  EXPECT_DOUBLE_EQ(grid.cellAt(0, 0)->fill(), MatrixRect::kNewFill);
  EXPECT_DOUBLE_EQ(grid.cellAt(0, 1)->fill(), FixPostionMatrixView::kChosenFill);

  select(layout("Cells", 2, 3, 2, 0b100'001));
  EXPECT_TRUE(controls.fixGridHidden);
  EXPECT_FALSE(controls.arrangedGridHidden);
  EXPECT_EQ(editor.arrangedMatrixView().matrix, (TransformUtils::Matrix{{true, false, false}, {false, false, true}}));
  EXPECT_EQ(controls.shortcut, std::nullopt);

  select(layout("Off", 0));
  EXPECT_TRUE(controls.fixGridHidden && controls.arrangedGridHidden && controls.gridControlsHidden);

  select(fixed);
  select(nullptr);
  EXPECT_TRUE(controls.viewHidden);
  EXPECT_EQ(controls.name, "");
  EXPECT_EQ(controls.typeIndex, 0);
  EXPECT_EQ(editor.rule(), nullptr);
  EXPECT_EQ(controls.shortcut, MASShortcut(kKeyR, kControlOption));  // kept, unseen
  // With nothing shown no setter does anything.
  editor.setRuleType(1);
  editor.setRuleName("x");
  editor.setRuleShortcut(nullptr);
  EXPECT_TRUE(eventsOn("changed").empty());
}

TEST_F(CustomLayoutEditorTest, EachEditPublishesOneCopyBeforeItIsWrittenAndTheSameValueDoesNothing) {
  const auto original = stored(layout("Grid"));
  select(original);
  const std::string id = original->id();

  editor.rulePopUpButtonAction().onNext(1);  // fixed: 4 × 4, every cell
  expectOneSave(0, {"Grid", 1, 65535, 4, 4, -1, -1});
  EXPECT_NE(editor.rule(), original);
  EXPECT_EQ(editor.rule()->id(), id);
  editor.rulePopUpButtonAction().onNext(1);
  EXPECT_EQ(eventsOn("changed").size(), 1u);

  editor.rowPopUpButtonAction().onNext(0);  // 1 row of 4, all on
  expectOneSave(1, {"Grid", 1, 0b1111, 4, 1, -1, -1});
  EXPECT_EQ(editor.controls().rowIndex, 0);
  editor.columnPopUpButtonAction().onNext(1);  // 1 × 2
  expectOneSave(2, {"Grid", 1, 0b11, 2, 1, -1, -1});
  editor.columnPopUpButtonAction().onNext(1);
  editor.rowPopUpButtonAction().onNext(0);
  EXPECT_EQ(eventsOn("changed").size(), 3u);

  // The right half, drawn on the grid: a tap on the right cell, then the same cell again.
  auto& grid = editor.fixPositionMatrixView();
  for (int tap = 0; tap < 2; ++tap) {
    grid.cellAt(0, 1)->mouseDown();
    grid.cellAt(0, 1)->mouseUp();
  }
  expectOneSave(3, {"Grid", 1, 0b01, 2, 1, -1, -1});
  editor.setRuleMatrixValue(0b01);
  EXPECT_EQ(eventsOn("changed").size(), 4u);

  ShortcutRecorder recorder;
  recorder.setShortcutValueChange([&](ShortcutRecorder& r) { editor.shortcutValueChange().onNext(&r); });
  recorder.startRecording();
  recorder.handleKeyDown(kKeyR, kControlOption);
  expectOneSave(4, {"Grid", 1, 0b01, 2, 1, 15, kControlOption});
  recorder.clear();
  expectOneSave(5, {"Grid", 1, 0b01, 2, 1, -1, -1});

  type("Right half");
  expectOneSave(6, {"Right half", 1, 0b01, 2, 1, -1, -1});
  advance(1.0);
  type("Right half");  // the name already stored
  advance(1.0);
  EXPECT_EQ(eventsOn("changed").size(), 7u);
  type("");  // an empty name is kept as it is
  expectOneSave(7, {"", 1, 0b01, 2, 1, -1, -1});
  editor.setRuleName(std::nullopt);
  expectOneSave(8, {"New Layout", 1, 0b01, 2, 1, -1, -1});

  editor.rulePopUpButtonAction().onNext(2);  // arranged: 2 × 2, every cell
  expectOneSave(9, {"New Layout", 2, 15, 2, 2, -1, -1});
  EXPECT_FALSE(editor.controls().arrangedGridHidden);
  EXPECT_EQ(editor.controls().rowIndex, 1);
  editor.rulePopUpButtonAction().onNext(0);  // disabled: the grid is reset, not kept
  expectOneSave(10, {"New Layout", 0, 65535, 4, 4, -1, -1});
  EXPECT_TRUE(editor.controls().gridControlsHidden);
  EXPECT_FALSE(log.contains("🔴"));
}

TEST_F(CustomLayoutEditorTest, RowsAndColumnsRescaleTheGridAndAFullEightByEightGridRoundTripsThroughTheStore) {
  select(stored(layout("Corner", 1, 4, 4, 1)));
  editor.setRuleRows(1);  // rows 0 and 2 sampled: nothing left on, so the top-left cell
  EXPECT_EQ(editor.rule()->matrixValue(), 128);

  select(stored(layout("All", 2, 2, 2, 15)));
  editor.setRuleRows(7);
  editor.setRuleColumns(7);
  EXPECT_EQ(editor.rule()->matrixValue(), -1);
  const std::string id = editor.rule()->id();
  ASSERT_EQ(storedFields(id), (LayoutFields{"All", 2, -1, 8, 8, -1, -1}));

  // A fresh editor reading the stored record shows all 64 cells on.
  CustomLayoutDetailViewController reader;
  reader.view();
  for (const auto& m : StoreService::shared().customLayouts())
    if (m->id() == id) CustomLayoutBridge::selectedLayout().onNext(m);
  EXPECT_EQ(reader.arrangedMatrixView().matrix, TransformUtils::Matrix(8, std::vector<bool>(8, true)));
  EXPECT_EQ(reader.controls().rowIndex, 7);
  EXPECT_EQ(reader.controls().columnIndex, 7);
  std::size_t selected = 0;
  for (const auto& row : reader.arrangedMatrixView().rects())
    for (const MatrixRect* cell : row) selected += cell->fill() == ArrangedMatrixView::kSelectedFill;
  EXPECT_EQ(selected, 64u);
}

TEST_F(CustomLayoutEditorTest, ANonSquareGridKeepsItsColumnsAndRowsApartWhenEitherChanges) {
  using M = TransformUtils::Matrix;
  constexpr bool T = true, F = false;
  // 3 columns of 2 rows, the top-left and the bottom-right cell.
  select(stored(layout("Diagonal", 2, 3, 2, 0b100'001)));
  const std::string id = editor.rule()->id();
  auto storedGrid = [&] {
    const auto fields = storedFields(id);
    return fields ? TransformUtils::matrix(std::get<2>(*fields), static_cast<int>(std::get<3>(*fields)),
                                           static_cast<int>(std::get<4>(*fields)))
                  : M{};
  };

  editor.setRuleRows(3);  // 4 rows: each old row twice
  const M fourRows{{T, F, F}, {T, F, F}, {F, F, T}, {F, F, T}};
  EXPECT_EQ(editor.arrangedMatrixView().matrix, fourRows);
  EXPECT_EQ(storedGrid(), fourRows);
  EXPECT_EQ(editor.controls().rowIndex, 3);
  EXPECT_EQ(editor.controls().columnIndex, 2);

  editor.setRuleColumns(4);  // 5 columns sample old columns 0, 0, 1, 1, 2
  const M fiveColumns{{T, T, F, F, F}, {T, T, F, F, F}, {F, F, F, F, T}, {F, F, F, F, T}};
  EXPECT_EQ(editor.arrangedMatrixView().matrix, fiveColumns);
  EXPECT_EQ(storedGrid(), fiveColumns);

  editor.setRuleRows(0);  // the first row alone
  EXPECT_EQ(storedGrid(), (M{{T, T, F, F, F}}));
  editor.setRuleColumns(1);  // columns 0 and 2 of 5
  EXPECT_EQ(storedGrid(), (M{{T, F}}));
  EXPECT_EQ(storedFields(id), (LayoutFields{"Diagonal", 2, 0b10, 2, 1, -1, -1}));

  // The fixed grid resizes the same way.
  select(stored(layout("Top right", 1, 2, 3, 0b010'000)));
  editor.setRuleColumns(3);
  EXPECT_EQ(fieldsOf(*editor.rule()), (LayoutFields{"Top right", 1, 0b0011'0000'0000, 4, 3, -1, -1}));
}

TEST_F(CustomLayoutEditorTest, DamagedRecordsAreShownWithinTheGridsBounds) {
  auto damaged = layout("Damaged", 2, 0, 1000, -1);
  damaged->setKeyCode(-7);
  damaged->setModifierFlags(kControlOption);
  select(damaged);
  EXPECT_EQ(editor.arrangedMatrixView().rects().size(), 8u);
  EXPECT_EQ(editor.arrangedMatrixView().rects()[0].size(), 1u);
  EXPECT_EQ(editor.controls().rowIndex, 7);
  EXPECT_EQ(editor.controls().columnIndex, 0);
  EXPECT_EQ(editor.controls().shortcut, std::nullopt);
  editor.setRuleColumns(1);  // stored as what is shown: 8 rows of 2, every cell
  EXPECT_EQ(fieldsOf(*editor.rule()), (LayoutFields{"Damaged", 2, 65535, 2, 8, -7, kControlOption}));

  select(layout("Unknown type", 7));
  EXPECT_EQ(editor.controls().typeIndex, 0);
  EXPECT_TRUE(editor.controls().gridControlsHidden);
  editor.setRuleType(3);
  editor.setRuleRows(8);
  editor.setRuleColumns(-1);
  EXPECT_EQ(eventsOn("changed").size(), 1u);
}

TEST_F(CustomLayoutEditorTest, TheNameIsThrottledAndAPendingNameStaysWithTheLayoutItWasTypedFor) {
  const auto first = stored(layout("First"));
  const auto second = stored(layout("Second"));
  select(first);
  type("F");  // at once
  type("Fo");
  type("Foo");  // waits in the throttle
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"F", "Second"}));
  advance(0.3);
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"Foo", "Second"}));

  advance(1.0);
  type("B");
  type("Bar");  // still waiting when the other layout is selected
  select(second);
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"Bar", "Second"}));
  EXPECT_EQ(editor.controls().name, "Second");
  advance(1.0);  // the throttle's own delivery renames nothing now
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"Bar", "Second"}));
  EXPECT_EQ(editor.rule()->name(), "Second");
  const auto changes = eventsOn("changed");
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_EQ(changes.back().layout->id(), first->id());

  // A name waiting for a layout that is removed is dropped, not stored again.
  advance(1.0);
  type("S");
  type("Sx");
  CustomLayoutBridge::layoutRemoved().onNext(second);
  StoreService::shared().deleteCustomLayout(*second);
  select(first);
  advance(1.0);
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"Bar"}));
}

TEST_F(CustomLayoutEditorTest, AFailedWriteIsSaidAndTheStoredLayoutIsPublishedAndShownAgain) {
  const auto original = stored(layout("Kept", 1));
  select(original);
  // A folder where the database file should be: it cannot be opened.
  std::filesystem::remove(store::Configuration::defaultFileURL());
  std::filesystem::create_directories(store::Configuration::defaultFileURL());
  log.clear();
  editor.setRuleType(2);
  const auto changes = eventsOn("changed");
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].layout->type(), 2) << "published before the write";
  EXPECT_EQ(changes[1].layout, original) << "and the stored layout again once it failed";
  EXPECT_EQ(editor.rule(), original);
  EXPECT_EQ(editor.controls().typeIndex, 1);
  EXPECT_FALSE(editor.controls().fixGridHidden);
  EXPECT_EQ(views.alerts, std::vector<std::string>{NSLocalizedString("CustomLayoutNotSaved")});
  EXPECT_EQ(log.count("🔴 custom layout \"Kept\" was not saved"), 1u);
  type("Renamed");
  EXPECT_EQ(editor.rule(), original);
  EXPECT_EQ(views.alerts.size(), 2u);
  EXPECT_EQ(log.count("🔴 custom layout \"Renamed\" was not saved"), 1u);
}

}  // namespace
}  // namespace tilvane::test
