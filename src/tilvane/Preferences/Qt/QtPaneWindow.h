#pragma once

#include <QActionGroup>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "Preferences/PaneWindowView.h"

namespace tilvane {

/// A pane window in Qt: a toolbar of panes (image above label, the shown pane checked) with the accessory
/// button at its right end, above the pane shown. The window takes each pane's size and cannot be resized.
/// Pane widgets are borrowed: the window gives them back when it closes for good, never deletes them.
class QtPaneWindow final : public PaneWindowView {
 public:
  QtPaneWindow();
  ~QtPaneWindow() override;

  void setToolbar(const std::string& title, const std::vector<ToolbarItem>& items,
                  std::function<void(int)> onSelect) override;
  void setAccessoryButton(AccessoryButton button) override;
  void showPane(int index, PaneView* view, const Constants::Size& size) override;
  void showWindow() override;
  bool isVisible() const override;

  QWidget& window() { return *window_; }
  QToolBar& toolbar() { return *toolbar_; }
  /// The toolbar's pane buttons, in order, and the accessory button (null before it is set).
  std::vector<QToolButton*> paneButtons() const;
  QToolButton* accessoryButton() const { return accessory_; }
  /// The pane shown now (-1 before the first).
  int shownIndex() const { return shown_; }

 private:
  std::unique_ptr<QWidget> window_;
  QToolBar* toolbar_;
  QStackedWidget* stack_;
  QActionGroup* group_;
  QAction* spacerAction_ = nullptr;
  QWidget* emptyPane_ = nullptr;
  QToolButton* accessory_ = nullptr;
  std::vector<QAction*> actions_;
  std::function<void(int)> onSelect_;
  std::function<void()> onAccessory_;
  int shown_ = -1;
  /// Whether the window has been given its first place.
  bool placed_ = false;
};

}  // namespace tilvane
