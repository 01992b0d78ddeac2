#include "AppManager/Startup/ManagerSetup.h"

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Store/StoreService.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "Shortcuts/ShortcutsManager.h"

namespace tilvane {

void setupWindowManagers() {
  LogManager::debug("ScreenManager setup");
  ScreenManager& screens = ScreenManager::shared();
  screens.reloadScreens();
  screens.observe();
  // The first run's desktops are stored for the displays just read, before the display set is named.
  StoreService::shared().setupFirstRun();
  screens.setDisplayIdentifier(screens.makeDisplayIdentifier());

  LogManager::debug("LayoutManager setup");
  LayoutManager& layout = LayoutManager::shared();
  layout.setup();
  layout.bind();
  layout.bindRules();

  LogManager::debug("WindowManager setup");
  WindowManager::shared();

  LogManager::debug("ApplicationManager setup");
  ApplicationManager::shared().setup();
  ApplicationManager::shared().observe();

  LogManager::debug("ShortcutsManager setup");
  ShortcutsManager::shared().registerAll();
  ShortcutsManager::shared().observe();
}

}  // namespace tilvane
