#include "Preferences/MASPreferencesWindowController.h"

#include <utility>

namespace tilvane {

MASPreferencesWindowController::MASPreferencesWindowController(std::vector<PreferencePane*> panes, std::string title,
                                                               std::unique_ptr<PaneWindowView> window)
    : panes_(std::move(panes)), title_(std::move(title)), window_(std::move(window)) {
  if (!window_) return;
  std::vector<ToolbarItem> items;
  for (const PreferencePane* pane : panes_) items.push_back({pane->toolbarItemLabel().value_or(""), pane->toolbarItemImage()});
  window_->setToolbar(title_, items, [this](int index) { selectControllerAtIndex(index); });
}

void MASPreferencesWindowController::selectControllerAtIndex(int index) {
  if (index < 0 || index >= static_cast<int>(panes_.size())) return;
  if (index == selected_ && paneShown_) return;
  selected_ = index;
  if (window_) showSelected();
}

PreferencePane* MASPreferencesWindowController::selectedViewController() const {
  return panes_.empty() ? nullptr : panes_[static_cast<std::size_t>(selected_)];
}

void MASPreferencesWindowController::showWindow() {
  if (!window_) return;
  if (!paneShown_) showSelected();
  window_->showWindow();
}

void MASPreferencesWindowController::showSelected() {
  PreferencePane* pane = selectedViewController();
  if (!pane) return;
  PaneView* view = pane->view();
  pane->viewWillAppear();
  window_->showPane(selected_, view, pane->paneSize());
  paneShown_ = true;
}

}  // namespace tilvane
