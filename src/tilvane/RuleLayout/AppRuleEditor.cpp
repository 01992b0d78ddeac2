#include "RuleLayout/AppRuleEditor.h"

#include <algorithm>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Geometry/TransformUtils.h"
#include "Models/RuleLayoutModel.h"
#include "RuleLayout/Grid/MatrixResize.h"
#include "RuleLayout/PaneStoreWrites.h"

namespace tilvane {
namespace {

constexpr int kMaxSide = 8;

// A stored count as the grid views show it: the popups' range. Another value never comes from this editor;
// clamping keeps the views (and their cell pools) bounded whatever the store holds.
int shownSide(std::int64_t stored) { return static_cast<int>(std::clamp<std::int64_t>(stored, 1, kMaxSide)); }
// A stored count as the grid helpers take it: no more cells than a grid value can hold.
int decodedSide(std::int64_t stored) { return static_cast<int>(std::clamp<std::int64_t>(stored, 0, 64)); }

// The grid views lay out their cells for a model; this one has the counts on show.
struct ShownSize {
  int columns;
  int rows;
  int width() const { return columns; }
  int height() const { return rows; }
};

RuleLayoutModelPtr newRule(const std::string& id, std::int64_t type) {
  auto rule = std::make_shared<RuleLayoutModel>();
  rule->setId(id);
  rule->setType(type);
  return rule;
}

}  // namespace

void AppRuleEditor::bind() {
  fixPositionMatrixView_.matrixValueChanged()
      .subscribe([this](std::int64_t value) { saveMatrixValue(value); })
      .disposed(disposeBag_);
  arrangedMatrixView_.matrixValueChanged()
      .subscribe([this](std::int64_t value) { saveMatrixValue(value); })
      .disposed(disposeBag_);
  RuleLayoutBridge::detailRule()
      .subscribe([this](const AppRule& shown) { showRule(shown.app, shown.rule); })
      .disposed(disposeBag_);
}

void AppRuleEditor::showRule(const AppDescriptor& app, const RuleLayoutModelPtr& rule) {
  app_ = app;
  rule_ = rule;
  const std::int64_t type = rule ? rule->type() : 0;
  ruleIndex_ = ruleLayoutTypes.fromRaw(type) ? static_cast<int>(type) : -1;
  visibleGrid_ = Grid::none;
  gridControlsVisible_ = false;
  const auto kind = rule ? ruleLayoutTypes.fromRaw(type) : std::nullopt;
  if (kind == RuleLayoutType::fix || kind == RuleLayoutType::arranged) {
    const ShownSize size{shownSide(rule->width()), shownSide(rule->height())};
    if (kind == RuleLayoutType::fix) {
      fixPositionMatrixView_.layoutRectsForModel(size);
      fixPositionMatrixView_.startRect = nullptr;
      fixPositionMatrixView_.endRect = nullptr;
      fixPositionMatrixView_.endRects.clear();
      fixPositionMatrixView_.updateSelection();
      fixPositionMatrixView_.setMatrixValue(rule->matrixValue(), size.columns, size.rows);
      visibleGrid_ = Grid::fixed;
    } else {
      arrangedMatrixView_.layoutRectsForModel(size);
      arrangedMatrixView_.matrix = TransformUtils::matrix(rule->matrixValue(), size.columns, size.rows);
      arrangedMatrixView_.refreshColors();
      visibleGrid_ = Grid::arranged;
    }
    gridControlsVisible_ = true;
    rowIndex_ = size.rows - 1;
    columnIndex_ = size.columns - 1;
  }
  containerVisible_ = true;
  if (refresh_) refresh_();
}

void AppRuleEditor::saveRuleType(int index) {
  if (!app_) return;
  if (rule_ && rule_->type() == index) return;
  const auto type = ruleLayoutTypes.fromRaw(index);
  if (!type) return;
  const RuleLayoutModelPtr next = newRule(ruleId(), index);
  switch (*type) {
    case RuleLayoutType::auto_:
      if (!deleteStoredRule(next->id())) return rejected();
      accept(nullptr, next);
      return;
    case RuleLayoutType::fix:
      // The whole area: every cell of the default grid.
      next->setWidth(4);
      next->setHeight(4);
      next->setMatrixValue(65535);
      break;
    case RuleLayoutType::arranged:
      next->setWidth(2);
      next->setHeight(2);
      next->setMatrixValue(TransformUtils::matrixValue(TransformUtils::Matrix(2, std::vector<bool>(2, true))));
      break;
    case RuleLayoutType::ignore:
      break;
  }
  if (!saveStoredRule(next)) return rejected();
  accept(next, next);
}

std::string AppRuleEditor::ruleId() const { return rule_ ? rule_->id() : app_->bundleID; }

void AppRuleEditor::saveRows(int index) {
  if (!app_ || !rule_) return;
  const int rows = index + 1;
  if (rows < 1 || rows > kMaxSide || rows == rule_->height()) return;
  saveGridSize(rows, decodedSide(rule_->width()));
}

void AppRuleEditor::saveColumns(int index) {
  if (!app_ || !rule_) return;
  const int columns = index + 1;
  if (columns < 1 || columns > kMaxSide || columns == rule_->width()) return;
  saveGridSize(decodedSide(rule_->height()), columns);
}

void AppRuleEditor::saveGridSize(int rows, int columns) {
  const RuleLayoutModelPtr next = newRule(rule_->id(), rule_->type());
  next->setWidth(columns);
  next->setHeight(rows);
  const TransformUtils::Matrix old =
      TransformUtils::matrix(rule_->matrixValue(), decodedSide(rule_->width()), decodedSide(rule_->height()));
  next->setMatrixValue(TransformUtils::matrixValue(resizeMatrix(old, columns, rows)));
  if (!saveStoredRule(next)) return rejected();
  accept(next, next);
}

void AppRuleEditor::saveMatrixValue(std::int64_t value) {
  if (!app_ || !rule_) return;
  const RuleLayoutModelPtr next = newRule(rule_->id(), rule_->type());
  next->setWidth(rule_->width());
  next->setHeight(rule_->height());
  next->setMatrixValue(value);
  if (!saveStoredRule(next)) return rejected();
  // The grid view shows the change already.
  rule_ = next;
  const AppDescriptor app = *app_;
  RuleLayoutBridge::ruleSaved().onNext(AppRule{app, next});
}

void AppRuleEditor::accept(const RuleLayoutModelPtr& next, const RuleLayoutModelPtr& shown) {
  rule_ = next;
  // Copies: a subscriber may show another application before this one goes on.
  const AppDescriptor app = *app_;
  RuleLayoutBridge::ruleSaved().onNext(AppRule{app, next});
  showRule(app, shown);
}

void AppRuleEditor::rejected() { showRule(*app_, rule_); }

}  // namespace tilvane
