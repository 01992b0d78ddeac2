#include "AppManager/Startup/WindowManagersStartup.h"

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Store/StoreService.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"

namespace tilvane {

void startWindowManagers(FirstRunSetup firstRun) {
  ScreenManager& screens = ScreenManager::shared();
  screens.reloadScreens();
  screens.observe();
  // The first run's desktops are stored for the displays just read, before the display set is named.
  if (firstRun == FirstRunSetup::run) StoreService::shared().setupFirstRun();
  screens.setDisplayIdentifier(screens.makeDisplayIdentifier());
  LayoutManager& layout = LayoutManager::shared();
  layout.setup();
  layout.bind();
  WindowManager::shared();
  ApplicationManager& applications = ApplicationManager::shared();
  applications.setup();
  applications.observe();
}

}  // namespace tilvane
