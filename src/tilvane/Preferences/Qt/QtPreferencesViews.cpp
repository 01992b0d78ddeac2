#include "Preferences/Qt/QtPreferencesViews.h"

#include "Preferences/Qt/QtAboutPane.h"
#include "Preferences/Qt/QtGeneralPane.h"
#include "Preferences/Qt/QtHotKeysPane.h"
#include "Preferences/Qt/QtPaneWindow.h"
#include "Preferences/Qt/QtUpdatesPane.h"

namespace tilvane {

std::unique_ptr<PaneWindowView> QtPreferencesViews::makeWindow() { return std::make_unique<QtPaneWindow>(); }

std::unique_ptr<PaneView> QtPreferencesViews::makeView(GeneralPreferencesViewController& pane) {
  return std::make_unique<QtGeneralPane>(pane);
}

std::unique_ptr<PaneView> QtPreferencesViews::makeView(HotKeysPreferencesViewController& pane) {
  return std::make_unique<QtHotKeysPane>(pane);
}

std::unique_ptr<PaneView> QtPreferencesViews::makeView(UpdatesPreferencesViewController& pane) {
  return std::make_unique<QtUpdatesPane>(pane);
}

std::unique_ptr<PaneView> QtPreferencesViews::makeView(AboutPreferencesViewController& pane) {
  return std::make_unique<QtAboutPane>(pane);
}

}  // namespace tilvane
