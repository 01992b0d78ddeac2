#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "AppManager/Geometry/TransformUtils.h"
#include "CustomLayout/CustomLayoutViews.h"
#include "Models/ModelsFwd.h"
#include "RuleLayout/Grid/ArrangedMatrixView.h"
#include "RuleLayout/Grid/FixPostionMatrixView.h"
#include "VkKit/VkRxViewController.h"
#include "platform/hotkeys/MASShortcut.h"
#include "platform/hotkeys/ShortcutRecorder.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {

/// What the editor's controls show; the view draws it.
struct CustomLayoutDetailControls {
  /// The editor's whole view: hidden while no layout is shown.
  bool viewHidden = false;
  /// The container of every control: hidden until the first layout (or none) arrives.
  bool containerHidden = true;
  /// The name field's text.
  std::string name;
  /// The type popup's item: the layout's type (0 "Disabled", 1 "FixedPositionAndSize", 2
  /// "MatrixArrangedLayout").
  int typeIndex = 0;
  /// The row and column captions and popups.
  bool gridControlsHidden = true;
  /// The rows and columns popups' items: the count less one (0 to 7).
  int rowIndex = 0;
  int columnIndex = 0;
  bool fixGridHidden = true;
  bool arrangedGridHidden = true;
  /// The recorder's hot key.
  std::optional<MASShortcut> shortcut;
};

/// The editor of one custom layout: its name, hot key, type and, for the two grid types, its rows, columns and
/// cells. It shows the layout that the list publishes on CustomLayoutBridge::selectedLayout and saves every
/// change at once: each accepted edit makes a fresh copy of the shown layout with the edited field changed,
/// publishes it on CustomLayoutBridge::layoutChanged, keeps it as the shown layout, and only then writes it over
/// the stored layout with its id. Edits of the same value, and edits while no layout is shown, do nothing. An edit
/// that cannot be saved is said over the editor and everything goes back to the stored layout; an edit of a layout
/// another Tilvane deleted does not bring it back: it is announced on CustomLayoutBridge::layoutRemoved.
///
/// The name field is throttled to one value per 0.3 s. A name still waiting in the throttle when another layout
/// is shown is saved to the layout it was typed for first; when that layout was removed it is dropped. Either
/// way it never renames the layout shown since. Main thread only.
class CustomLayoutDetailViewController : public VkRxViewController {
 public:
  /// `views` may be null (no toolkit): the editor then works without a view.
  explicit CustomLayoutDetailViewController(CustomLayoutViews* views = nullptr);

  /// Shows `layout`, or hides the editor for null.
  void showLayout(const CustomLayoutModelPtr& layout);

  /// The setters of the six fields; each saves as described above.
  void setRuleType(int index);
  void setRuleRows(int index);
  void setRuleColumns(int index);
  void setRuleMatrixValue(std::int64_t value);
  /// The recorder's hot key (none when the recorder is null or empty); every call saves.
  void setRuleShortcut(const ShortcutRecorder* recorder);
  /// The name; null: the localised "NewCustomLayout". An empty name is kept as it is.
  void setRuleName(const std::optional<std::string>& name);

  /// The layout shown; null while none is.
  const CustomLayoutModelPtr& rule() const { return rule_; }
  const CustomLayoutDetailControls& controls() const { return controls_; }
  FixPostionMatrixView& fixPositionMatrixView() { return fixPositionMatrixView_; }
  ArrangedMatrixView& arrangedMatrixView() { return arrangedMatrixView_; }
  /// The view; null without a toolkit. Loaded (and the set-up hooks run) on first use.
  CustomLayoutDetailView* view();

  // The controls' user events, sent by the view.
  /// The item the user picked in the type, rows or columns popup (also when it is the one shown).
  rx::PublishSubject<int>& rulePopUpButtonAction() { return rulePicked_; }
  rx::PublishSubject<int>& rowPopUpButtonAction() { return rowsPicked_; }
  rx::PublishSubject<int>& columnPopUpButtonAction() { return columnsPicked_; }
  /// Every text the user leaves in the name field.
  rx::PublishSubject<std::optional<std::string>>& titleInputText() { return nameTyped_; }
  /// The recorder after the user recorded or cleared its hot key.
  rx::PublishSubject<const ShortcutRecorder*>& shortcutValueChange() { return shortcutChanged_; }

  /// The name field's throttle window in seconds.
  static constexpr double kNameThrottle = 0.3;

 protected:
  void loadView() override;
  void setupUI() override;
  void setupViewModel() override;

 private:
  /// A name as typed, with the layout shown then and its place in the order of typing.
  struct TypedName {
    std::optional<std::string> text;
    std::string layoutId;
    std::uint64_t sequence = 0;
  };

  /// Publishes `copy`, keeps it as the shown layout, re-shows it when asked, then writes it. A write that fails
  /// publishes and shows the stored layout again; a layout deleted elsewhere is announced as removed. Either way
  /// the user is told.
  void save(const CustomLayoutModelPtr& copy, bool reshow);
  void showAlert(const char* key);
  /// A fresh copy of the shown layout (with a new object, the same id and fields).
  CustomLayoutModelPtr copyOfRule() const;
  /// The throttled name: applied when typed for the layout shown and not applied yet.
  void nameArrived(const TypedName& typed);
  /// Applies the name still waiting in the throttle to the layout shown now, before another is shown.
  void flushPendingName();
  void refreshView();

  CustomLayoutViews* views_;
  CustomLayoutDetailControls controls_;
  FixPostionMatrixView fixPositionMatrixView_;
  ArrangedMatrixView arrangedMatrixView_;
  CustomLayoutModelPtr rule_;

  rx::PublishSubject<int> rulePicked_;
  rx::PublishSubject<int> rowsPicked_;
  rx::PublishSubject<int> columnsPicked_;
  rx::PublishSubject<std::optional<std::string>> nameTyped_;
  rx::PublishSubject<const ShortcutRecorder*> shortcutChanged_;

  std::optional<TypedName> lastTyped_;
  std::uint64_t typedCount_ = 0;
  std::uint64_t appliedThrough_ = 0;
  // Last, so the view goes first: its widgets draw the grids above and send to the subjects.
  std::unique_ptr<CustomLayoutDetailView> view_;
};

}  // namespace tilvane
