#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "Models/AppDescriptor.h"
#include "Models/ModelsFwd.h"
#include "RuleLayout/Grid/ArrangedMatrixView.h"
#include "RuleLayout/Grid/FixPostionMatrixView.h"
#include "platform/rx/Disposable.h"

namespace tilvane {

/// The application-rule editor of the Apps pane, without a screen: the application shown and its rule, the
/// four rule types, the grid's rows and columns and its two grid views. Every accepted change writes the store
/// first (the whole rule replaced, or deleted), then takes the new rule, publishes it on
/// RuleLayoutBridge.ruleSaved and shows it. A change the store did not take is logged, not published, and the
/// rule in force is shown again. The Qt view (AppRuleDetailViewController) draws what this class says is on show
/// and hands it the popups' choices. Main thread only.
class AppRuleEditor {
 public:
  /// Which grid view is on show.
  enum class Grid { none, fixed, arranged };

  AppRuleEditor() = default;
  AppRuleEditor(const AppRuleEditor&) = delete;
  AppRuleEditor& operator=(const AppRuleEditor&) = delete;

  /// Subscribes, for the editor's life: the grids' values to saveMatrixValue, and RuleLayoutBridge.detailRule to
  /// showRule.
  void bind();

  /// Shows `app` with `rule` (null: none).
  void showRule(const AppDescriptor& app, const RuleLayoutModelPtr& rule);
  /// The rule-type popup chose item `index` (a RuleLayoutType); also when it was already chosen.
  void saveRuleType(int index);
  /// The rows or the columns popup chose item `index`: `index` + 1 rows or columns, the grid resampled.
  void saveRows(int index);
  void saveColumns(int index);
  /// A grid view published a new grid value.
  void saveMatrixValue(std::int64_t value);

  const std::optional<AppDescriptor>& app() const { return app_; }
  /// The rule shown; null when there is none. After a change to the automatic type it is an unsaved rule of
  /// that type, so choosing automatic again changes nothing.
  const RuleLayoutModelPtr& rule() const { return rule_; }

  // What is on show.
  /// False until the first application is shown.
  bool containerVisible() const { return containerVisible_; }
  /// The rule-type popup's item: the rule's type, 0 without a rule, -1 for a type no item stands for.
  int ruleIndex() const { return ruleIndex_; }
  /// The rows and columns popups and their captions.
  bool gridControlsVisible() const { return gridControlsVisible_; }
  /// The rows and columns popups' items: the grid's rows and columns less one, kept within 0 to 7.
  int rowIndex() const { return rowIndex_; }
  int columnIndex() const { return columnIndex_; }
  Grid visibleGrid() const { return visibleGrid_; }

  FixPostionMatrixView& fixPositionMatrixView() { return fixPositionMatrixView_; }
  ArrangedMatrixView& arrangedMatrixView() { return arrangedMatrixView_; }

  /// Called after each show, so a view can draw the new state.
  void setRefresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }

 private:
  // Takes `next` (null after a delete) as the rule, publishes it and shows `shown`.
  void accept(const RuleLayoutModelPtr& next, const RuleLayoutModelPtr& shown);
  // A rule of the same application as the one shown, with `rows` rows and `columns` columns, its grid resampled.
  void saveGridSize(int rows, int columns);
  // The store kept the old rule: show it again.
  void rejected();
  // The id a new rule of the application shown takes: the shown rule's, which may name the application in
  // another case (a class guessed from its program), else the application's bundle identifier.
  std::string ruleId() const;

  FixPostionMatrixView fixPositionMatrixView_;
  ArrangedMatrixView arrangedMatrixView_;
  std::optional<AppDescriptor> app_;
  RuleLayoutModelPtr rule_;
  bool containerVisible_ = false;
  int ruleIndex_ = 0;
  bool gridControlsVisible_ = false;
  int rowIndex_ = 3;
  int columnIndex_ = 3;
  Grid visibleGrid_ = Grid::none;
  std::function<void()> refresh_;
  // Last, so the subscriptions end before anything they reach.
  rx::DisposeBag disposeBag_;
};

}  // namespace tilvane
