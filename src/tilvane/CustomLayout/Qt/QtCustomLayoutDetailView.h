#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "CustomLayout/CustomLayoutDetailViewController.h"
#include "CustomLayout/Qt/OwnedWidget.h"
#include "RuleLayout/Grid/Qt/QtMatrixView.h"
#include "platform/hotkeys/qt/MASShortcutView.h"

namespace tilvane {

/// The custom-layout editor in Qt Widgets: name, hot-key recorder and type on three rows, then the rows and
/// columns popups and the grid of the layout's type. The user's picks, typing and recorded hot keys go to the
/// controller's control streams; what the controller shows comes back through refresh().
class QtCustomLayoutDetailView final : public CustomLayoutDetailView {
 public:
  explicit QtCustomLayoutDetailView(CustomLayoutDetailViewController& controller);

  void refresh() override;
  void showAlert(const std::string& message) override;

  /// Null once the widget was deleted with its parent.
  QWidget* widget() const { return owned_.widget(); }
  QWidget* componentsContainer() const { return componentsContainer_; }
  QLineEdit* titleInput() const { return titleInput_; }
  MASShortcutView* shortcutButton() const { return shortcutButton_; }
  QComboBox* rulePopUpButton() const { return rulePopUpButton_; }
  QComboBox* rowPopUpButton() const { return rowPopUpButton_; }
  QComboBox* columnPopUpButton() const { return columnPopUpButton_; }
  QtMatrixView* fixPositionMatrixView() const { return fixPositionMatrixView_; }
  QtMatrixView* arrangedMatrixView() const { return arrangedMatrixView_; }

 private:
  void layoutSubviews();

  CustomLayoutDetailViewController& controller_;
  OwnedWidget owned_;
  QWidget* componentsContainer_;
  QLabel* titleLabel_;
  QLineEdit* titleInput_;
  QLabel* shortcutLabel_;
  MASShortcutView* shortcutButton_;
  QLabel* ruleTitleLable_;
  QComboBox* rulePopUpButton_;
  QLabel* rowTitleLable_;
  QComboBox* rowPopUpButton_;
  QLabel* columnTitleLable_;
  QComboBox* columnPopUpButton_;
  QtMatrixView* fixPositionMatrixView_;
  QtMatrixView* arrangedMatrixView_;
};

}  // namespace tilvane
