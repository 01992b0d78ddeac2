#include "WorkspaceLayout/Qt/QtWorkspaceViews.h"

#include "WorkspaceLayout/Qt/QtWorkspaceDetailView.h"
#include "WorkspaceLayout/Qt/QtWorkspaceListView.h"

namespace tilvane {

std::unique_ptr<WorkspaceListView> QtWorkspaceViews::makeView(WorkspaceViewController& controller) {
  auto view = std::make_unique<QtWorkspaceListView>(controller);
  dialogs_.setAnchor(view->widget());
  return view;
}

std::unique_ptr<WorkspaceDetailView> QtWorkspaceViews::makeView(WorkspaceDetailViewController& controller) {
  return std::make_unique<QtWorkspaceDetailView>(controller);
}

}  // namespace tilvane
