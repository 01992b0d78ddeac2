#pragma once

#include <QPointer>
#include <QTableWidget>
#include <QToolButton>
#include <memory>

#include <QMessageBox>

#include "RuleLayout/AppRuleList.h"
#include "RuleLayout/AppRuleViewModel.h"
#include "RuleLayout/Qt/AppRuleDetailViewController.h"
#include "RuleLayout/Qt/ResizeHook.h"
#include "UI/Widgets/InputTextField.h"
#include "VkKit/Qt/QtViewController.h"

namespace tilvane {

/// The Apps pane: on the left the searchable list of applications with its add button, on the right the rule
/// editor (deatilViewController). Its view is 800 × 480 on its own; a pane host pins it to fill its view. The
/// choice of a row goes out on RuleLayoutBridge.appChanged, and the layout engine's answer reaches the editor.
/// Main thread only.
class AppRuleViewController final : public QtViewController {
 public:
  /// With the open panel over the pane's window.
  AppRuleViewController();
  /// With another chooser (tests).
  explicit AppRuleViewController(std::unique_ptr<AppChooser> chooser);

  AppRuleList& list() { return list_; }
  /// The alert of the last unsupported choice while it is open, else null.
  QMessageBox* alert() const { return alert_; }

  AppRuleViewModel viewModel;
  // The controls, made by setupUI().
  QTableWidget* tableView = nullptr;
  QWidget* line = nullptr;
  InputTextField* searchTextField = nullptr;
  QToolButton* addButton = nullptr;
  AppRuleDetailViewController deatilViewController;

 protected:
  void setupUI() override;
  void setupLayout() override;
  void setupViewModel() override;

 private:
  void placeControls();
  void reloadData();
  void filter(const QString& text);
  void add();
  void showUnsupportedAlert();

  AppRuleList list_;
  QPointer<QMessageBox> alert_;
  // Connections to the widgets end with it, before the view goes.
  QObject connections_;
  ResizeHook resizeHook_{[this] {
    if (layoutInited()) placeControls();
  }};
};

}  // namespace tilvane
