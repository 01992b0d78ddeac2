#pragma once

#include <QPointer>
#include <QWidget>

#include "WorkspaceLayout/Editor/WorkspaceViews.h"

namespace tilvane {

/// The Workspaces pane's questions as Qt dialogs on the window of the pane's widget: window-modal message boxes
/// that do not block, a modal file chooser, and the Apps pane's application chooser.
class QtWorkspaceDialogs final : public WorkspaceDialogs {
 public:
  /// The widget whose window the dialogs belong to; until it is shown in a window nothing is asked.
  void setAnchor(QWidget* widget) { anchor_ = widget; }

  bool confirmDelete(std::function<void(int response)> completion) override;
  void showAlert(const std::string& message) override;
  std::optional<std::string> chooseFile() override;
  std::optional<std::string> chooseApplication() override;

 private:
  QWidget* window() const;

  QPointer<QWidget> anchor_;
};

}  // namespace tilvane
