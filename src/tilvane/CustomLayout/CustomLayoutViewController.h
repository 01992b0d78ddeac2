#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CustomLayout/CustomLayoutDetailViewController.h"
#include "CustomLayout/CustomLayoutViews.h"
#include "Models/ModelsFwd.h"
#include "VkKit/VkRxViewController.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {

/// The Layouts pane's content: the list of stored custom layouts with add and remove buttons, the editor of the
/// selected layout beside it, and an introduction while nothing is selected. It reads the stored layouts once,
/// when its view loads; afterwards the list changes by add, remove and the editor's changes. The selected layout
/// reaches the editor only through CustomLayoutBridge::selectedLayout.
///
/// An added layout is stored by its first edit. Each change the editor publishes replaces the entry with the
/// same id (wherever its row is, shown or scrolled away); the editor writes it to the store and, when it cannot,
/// publishes the stored layout again, so the list never holds a copy other than the store's. A layout announced
/// removed by someone else (the editor found it deleted by another Tilvane) leaves the list as a removal of its
/// own would. Main thread only.
class CustomLayoutViewController : public VkRxViewController {
 public:
  /// Every row is this high.
  static constexpr double kRowHeight = 25.0;

  /// `views` may be null (no toolkit): the list then works without a view.
  explicit CustomLayoutViewController(CustomLayoutViews* views = nullptr);

  /// The list's content: row i shows entry i.
  const std::vector<CustomLayoutModelPtr>& layouts() const { return layouts_; }
  std::size_t numberOfRows() const { return layouts_.size(); }
  /// The selected row, -1 when none.
  int selectedRow() const { return selectedRow_; }
  bool introHidden() const { return introHidden_; }
  CustomLayoutDetailViewController& deatilViewController() { return *deatilViewController_; }
  /// The view; null without a toolkit. Loaded (and the set-up hooks run) on first use.
  CustomLayoutListView* view();

  /// The user selected `row` (-1: none): the selection handler runs.
  void tableViewSelectionDidChange(int row);
  void onAddLayout();
  void onRemoveLayout();
  /// Follows a layout the editor changed (null: nothing to follow).
  void updateSelectedLayoutName(const CustomLayoutModelPtr& layout);

  // The buttons' taps, sent by the view.
  rx::PublishSubject<rx::Unit>& addButtonTap() { return addTapped_; }
  rx::PublishSubject<rx::Unit>& removeButtonTap() { return removeTapped_; }

 protected:
  void loadView() override;
  void setupUI() override;
  void setupViewModel() override;

 private:
  /// Selects `row` (replacing the selection) and runs the selection handler.
  void selectRow(int row);
  /// Takes `row` out of the list and selects its neighbour, as a removal does (nothing selected: the editor is
  /// told so).
  void removeRow(int row);
  /// Takes the layout with `id` out of the list, wherever it stands.
  void dropLayout(const std::string& id);
  void setIntroHidden(bool hidden);

  CustomLayoutViews* views_;
  std::vector<CustomLayoutModelPtr> layouts_;
  std::unique_ptr<CustomLayoutDetailViewController> deatilViewController_;
  int selectedRow_ = -1;
  /// The layout the list announces as removed while it does so.
  std::string removingId_;
  bool introHidden_ = false;
  rx::PublishSubject<rx::Unit> addTapped_;
  rx::PublishSubject<rx::Unit> removeTapped_;
  // Last, so the view (and the editor's view inside it) goes before what it shows.
  std::unique_ptr<CustomLayoutListView> view_;
};

}  // namespace tilvane
