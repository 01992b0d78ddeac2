#pragma once

#include "WorkspaceLayout/Editor/WorkspaceViews.h"
#include "WorkspaceLayout/Qt/QtWorkspaceDialogs.h"

namespace tilvane {

/// The Workspaces pane's views in Qt Widgets, and its dialogs on the list's window.
class QtWorkspaceViews final : public WorkspaceViews {
 public:
  std::unique_ptr<WorkspaceListView> makeView(WorkspaceViewController& controller) override;
  std::unique_ptr<WorkspaceDetailView> makeView(WorkspaceDetailViewController& controller) override;
  QtWorkspaceDialogs& dialogs() { return dialogs_; }

 private:
  QtWorkspaceDialogs dialogs_;
};

}  // namespace tilvane
