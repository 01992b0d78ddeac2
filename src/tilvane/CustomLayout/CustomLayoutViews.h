#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace tilvane {

class CustomLayoutViewController;
class CustomLayoutDetailViewController;

/// The custom-layout editor's view as its controller sees it: it draws controller.controls() and the two grids,
/// and reports the user's picks, typing and recorded hot keys to the controller's control streams.
class CustomLayoutDetailView {
 public:
  virtual ~CustomLayoutDetailView() = default;
  /// Shows the controls as they are now. Values shown from here are not reported back as the user's.
  virtual void refresh() = 0;
  /// Tells the user `message` over the editor's window.
  virtual void showAlert(const std::string& message) = 0;
};

/// The custom-layout list's view: a one-column list of the controller's layouts, the add and remove buttons,
/// the editor's view beside the list and the introduction over it while nothing is selected.
class CustomLayoutListView {
 public:
  virtual ~CustomLayoutListView() = default;
  /// Places the editor's view (null: the editor has none) beside the list.
  virtual void addDetailView(CustomLayoutDetailView* detail) = 0;
  /// Shows every row afresh from the controller's layouts.
  virtual void reloadData() = 0;
  /// Shows one row's name afresh.
  virtual void reloadRow(std::size_t row) = 0;
  /// Selects `row` (-1: none) without reporting it as the user's selection.
  virtual void selectRow(int row) = 0;
  virtual void setIntroHidden(bool hidden) = 0;
};

/// Makes the views of the Layouts pane in a toolkit. Without one the controllers work without views.
class CustomLayoutViews {
 public:
  virtual ~CustomLayoutViews() = default;
  virtual std::unique_ptr<CustomLayoutListView> makeView(CustomLayoutViewController& controller) = 0;
  virtual std::unique_ptr<CustomLayoutDetailView> makeView(CustomLayoutDetailViewController& controller) = 0;
};

}  // namespace tilvane
