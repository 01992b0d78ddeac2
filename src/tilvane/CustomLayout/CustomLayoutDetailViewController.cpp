#include "CustomLayout/CustomLayoutDetailViewController.h"

#include <algorithm>

#include "AppManager/Bridges/Bridges.h"
#include "CustomLayout/CustomLayoutStore.h"
#include "Models/CustomLayoutModel.h"
#include "RuleLayout/Grid/MatrixResize.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

constexpr int kMaxCells = 8;
constexpr std::int64_t kNoKey = -1;

/// A stored count outside the popups' 1 to 8 (a damaged or hand-made record) is shown, and edited, as the
/// nearest count they offer.
int boundedCount(std::int64_t stored) { return static_cast<int>(std::clamp<std::int64_t>(stored, 1, kMaxCells)); }

/// The counts a grid view lays out (layoutRectsForModel reads width() and height()).
struct GridSize {
  int columns;
  int rows;
  int width() const { return columns; }
  int height() const { return rows; }
};

GridSize gridOf(const CustomLayoutModel& layout) {
  return {boundedCount(layout.width()), boundedCount(layout.height())};
}

}  // namespace

CustomLayoutDetailViewController::CustomLayoutDetailViewController(CustomLayoutViews* views) : views_(views) {}

CustomLayoutDetailView* CustomLayoutDetailViewController::view() {
  loadViewIfNeeded();
  return view_.get();
}

void CustomLayoutDetailViewController::loadView() {
  if (views_) view_ = views_->makeView(*this);
}

void CustomLayoutDetailViewController::setupUI() {
  // Every control but the type's waits in a hidden container for the first layout.
  controls_ = CustomLayoutDetailControls{};
  refreshView();
}

void CustomLayoutDetailViewController::setupViewModel() {
  rulePicked_
      .subscribe([this](int index) {
        controls_.typeIndex = index;
        setRuleType(index);
      })
      .disposed(disposeBag());
  rowsPicked_
      .subscribe([this](int index) {
        controls_.rowIndex = index;
        setRuleRows(index);
      })
      .disposed(disposeBag());
  columnsPicked_
      .subscribe([this](int index) {
        controls_.columnIndex = index;
        setRuleColumns(index);
      })
      .disposed(disposeBag());
  fixPositionMatrixView_.matrixValueChanged()
      .subscribe([this](std::int64_t value) { setRuleMatrixValue(value); })
      .disposed(disposeBag());
  arrangedMatrixView_.matrixValueChanged()
      .subscribe([this](std::int64_t value) { setRuleMatrixValue(value); })
      .disposed(disposeBag());
  shortcutChanged_.subscribe([this](const ShortcutRecorder* recorder) { setRuleShortcut(recorder); })
      .disposed(disposeBag());

  // Each text is tagged with the layout it was typed for before it waits in the throttle.
  auto tagged = std::make_shared<rx::PublishSubject<TypedName>>();
  nameTyped_
      .subscribe([this, tagged](const std::optional<std::string>& text) {
        controls_.name = text.value_or("");
        lastTyped_ = TypedName{text, rule_ ? rule_->id() : std::string(), ++typedCount_};
        tagged->onNext(*lastTyped_);
      })
      .disposed(disposeBag());
  tagged->asObservable().throttle(kNameThrottle).subscribe([this](const TypedName& typed) { nameArrived(typed); })
      .disposed(disposeBag());

  CustomLayoutBridge::selectedLayout()
      .subscribe([this](const CustomLayoutModelPtr& layout) {
        flushPendingName();
        showLayout(layout);
      })
      .disposed(disposeBag());
  // A removed layout is not stored again by a name typed for it just before.
  CustomLayoutBridge::layoutRemoved()
      .subscribe([this](const CustomLayoutModelPtr& layout) {
        if (layout && lastTyped_ && lastTyped_->layoutId == layout->id())
          appliedThrough_ = std::max(appliedThrough_, lastTyped_->sequence);
      })
      .disposed(disposeBag());
}

void CustomLayoutDetailViewController::showLayout(const CustomLayoutModelPtr& layout) {
  controls_.viewHidden = !layout;
  rule_ = layout;
  controls_.name = layout ? layout->name() : std::string();
  const std::int64_t type = layout ? layout->type() : 0;
  controls_.typeIndex = type >= 0 && type <= 2 ? static_cast<int>(type) : 0;
  controls_.fixGridHidden = true;
  controls_.arrangedGridHidden = true;
  controls_.gridControlsHidden = true;
  if (layout) {
    const GridSize grid = gridOf(*layout);
    if (type == static_cast<std::int64_t>(CustomLayoutType::fix)) {
      controls_.fixGridHidden = false;
      fixPositionMatrixView_.layoutRectsForModel(grid);
      fixPositionMatrixView_.startRect = nullptr;
      fixPositionMatrixView_.endRect = nullptr;
      fixPositionMatrixView_.endRects.clear();
      fixPositionMatrixView_.setMatrixValue(layout->matrixValue(), grid.columns, grid.rows);
    } else if (type == static_cast<std::int64_t>(CustomLayoutType::arranged)) {
      controls_.arrangedGridHidden = false;
      arrangedMatrixView_.layoutRectsForModel(grid);
      arrangedMatrixView_.matrix = TransformUtils::matrix(layout->matrixValue(), grid.columns, grid.rows);
      arrangedMatrixView_.refreshColors();
    }
    if (!controls_.fixGridHidden || !controls_.arrangedGridHidden) {
      controls_.gridControlsHidden = false;
      controls_.rowIndex = grid.rows - 1;
      controls_.columnIndex = grid.columns - 1;
    }
    // A key code or flags below -1 never come from this editor: shown as no hot key.
    if (layout->keyCode() >= 0 && layout->modifierFlags() >= 0)
      controls_.shortcut = MASShortcut(static_cast<std::uint64_t>(layout->keyCode()),
                                       static_cast<std::uint64_t>(layout->modifierFlags()));
    else
      controls_.shortcut.reset();
  }
  controls_.containerHidden = false;
  refreshView();
}

void CustomLayoutDetailViewController::setRuleType(int index) {
  if (!rule_ || index < 0 || index > 2 || rule_->type() == index) return;
  auto copy = copyOfRule();
  copy->setType(index);
  // A new type starts from its own grid: the old one is not kept.
  if (index == static_cast<int>(CustomLayoutType::arranged)) {
    copy->setWidth(2);
    copy->setHeight(2);
    copy->setMatrixValue(TransformUtils::matrixValue(TransformUtils::Matrix(2, std::vector<bool>(2, true))));
  } else {
    copy->setWidth(4);
    copy->setHeight(4);
    copy->setMatrixValue(65535);
  }
  save(copy, true);
}

void CustomLayoutDetailViewController::setRuleRows(int index) {
  if (!rule_ || index < 0 || index >= kMaxCells || rule_->height() == index + 1) return;
  const GridSize old = gridOf(*rule_);
  auto copy = copyOfRule();
  copy->setWidth(old.columns);
  copy->setHeight(index + 1);
  const auto grid = TransformUtils::matrix(rule_->matrixValue(), old.columns, old.rows);
  copy->setMatrixValue(TransformUtils::matrixValue(resizeMatrix(grid, old.columns, index + 1)));
  save(copy, true);
}

void CustomLayoutDetailViewController::setRuleColumns(int index) {
  if (!rule_ || index < 0 || index >= kMaxCells || rule_->width() == index + 1) return;
  const GridSize old = gridOf(*rule_);
  auto copy = copyOfRule();
  copy->setWidth(index + 1);
  copy->setHeight(old.rows);
  const auto grid = TransformUtils::matrix(rule_->matrixValue(), old.columns, old.rows);
  copy->setMatrixValue(TransformUtils::matrixValue(resizeMatrix(grid, index + 1, old.rows)));
  save(copy, true);
}

void CustomLayoutDetailViewController::setRuleMatrixValue(std::int64_t value) {
  if (!rule_ || rule_->matrixValue() == value) return;
  auto copy = copyOfRule();
  copy->setMatrixValue(value);
  save(copy, false);
}

void CustomLayoutDetailViewController::setRuleShortcut(const ShortcutRecorder* recorder) {
  if (!rule_) return;
  const std::optional<MASShortcut> value = recorder ? recorder->shortcutValue() : std::nullopt;
  controls_.shortcut = value;
  auto copy = copyOfRule();
  copy->setKeyCode(value ? static_cast<std::int64_t>(value->keyCode()) : kNoKey);
  copy->setModifierFlags(value ? static_cast<std::int64_t>(value->modifierFlags()) : kNoKey);
  save(copy, false);
}

void CustomLayoutDetailViewController::setRuleName(const std::optional<std::string>& name) {
  if (!rule_ || name == rule_->name()) return;
  auto copy = copyOfRule();
  copy->setName(name ? *name : NSLocalizedString("NewCustomLayout"));
  save(copy, false);
}

void CustomLayoutDetailViewController::save(const CustomLayoutModelPtr& copy, bool reshow) {
  const CustomLayoutModelPtr before = rule_;
  // A layout read from the store, or stored by an earlier save, is only updated: one deleted elsewhere (another
  // Tilvane) is not brought back by an edit of the copy still shown here.
  const bool mayCreate = !before->isManaged();
  // Published first: the list, the menu and the hot keys follow before the write.
  CustomLayoutBridge::layoutChanged().onNext(copy);
  rule_ = copy;
  if (reshow) showLayout(copy);
  switch (saveCustomLayout(copy, mayCreate)) {
    case SaveOutcome::saved:
      return;
    case SaveOutcome::failed:
      // Whoever followed the copy goes back to the stored layout, and so does the editor.
      CustomLayoutBridge::layoutChanged().onNext(before);
      showLayout(before);
      showAlert("CustomLayoutNotSaved");
      return;
    case SaveOutcome::gone:
      showAlert("CustomLayoutGone");
      // The list drops it (and shows another), the hot key and the menu let it go.
      CustomLayoutBridge::layoutRemoved().onNext(copy);
      return;
  }
}

void CustomLayoutDetailViewController::showAlert(const char* key) {
  if (view_) view_->showAlert(NSLocalizedString(key));
}

CustomLayoutModelPtr CustomLayoutDetailViewController::copyOfRule() const { return store::unmanagedCopy(*rule_); }

void CustomLayoutDetailViewController::nameArrived(const TypedName& typed) {
  if (typed.sequence <= appliedThrough_) return;
  appliedThrough_ = typed.sequence;
  if (rule_ && rule_->id() == typed.layoutId) setRuleName(typed.text);
}

void CustomLayoutDetailViewController::flushPendingName() {
  if (!lastTyped_ || lastTyped_->sequence <= appliedThrough_) return;
  nameArrived(*lastTyped_);
}

void CustomLayoutDetailViewController::refreshView() {
  if (view_) view_->refresh();
}

}  // namespace tilvane
