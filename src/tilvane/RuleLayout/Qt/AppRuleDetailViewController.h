#pragma once

#include <QComboBox>
#include <QLabel>
#include <QWidget>

#include "RuleLayout/AppRuleEditor.h"
#include "RuleLayout/Grid/Qt/QtMatrixView.h"
#include "RuleLayout/Qt/ResizeHook.h"
#include "UI/Widgets/Elision.h"
#include "VkKit/Qt/QtViewController.h"

namespace tilvane {

/// What the editor's widgets refer to. A base listed before the view controller, so it is made before the view
/// and goes after it: the grid widgets never outlive their grids.
struct AppRuleDetailParts {
  AppRuleEditor editor_;
};

/// The application-rule editor's view: the application's icon and name, the rule-type popup, the rows and
/// columns popups and the two grids, drawn from the AppRuleEditor it owns. The popups act on every choice, also
/// of the item already chosen. Hidden until the first application is shown. Main thread only.
class AppRuleDetailViewController final : private AppRuleDetailParts, public QtViewController {
 public:
  AppRuleDetailViewController() = default;

  AppRuleEditor& editor() { return editor_; }

  // The controls, made by setupUI().
  QWidget* componentsContainer = nullptr;
  QLabel* logoImage = nullptr;
  QLabel* titleLabel = nullptr;
  QWidget* line = nullptr;
  QLabel* ruleTitleLable = nullptr;
  ElidingComboBox* rulePopUpButton = nullptr;
  QLabel* rowTitleLable = nullptr;
  QComboBox* rowPopUpButton = nullptr;
  QLabel* columnTitleLable = nullptr;
  QComboBox* columnPopUpButton = nullptr;
  QtMatrixView* fixPositionMatrixView = nullptr;
  QtMatrixView* arrangedMatrixView = nullptr;

 protected:
  void setupUI() override;
  void setupLayout() override;
  void setupViewModel() override;

 private:
  // Shows what the editor says is on show.
  void render();
  // Places the controls by their rules (the container fills the view).
  void placeControls();

  // Connections to the widgets end with it, before the view goes.
  QObject connections_;
  ResizeHook resizeHook_{[this] {
    if (layoutInited()) placeControls();
  }};
};

}  // namespace tilvane
