#include "AppManager/Logging/LogManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Store/StoreService.h"
#include "Models/AutoLayoutModel.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {

void StoreService::setupFirstRun() {
  LogManager::debug("setupFirstRun");
  const auto db = database();
  if (!db) return;
  try {
    if (db->count<AutoLayoutModel>() > 0) return;
  } catch (const store::Error& e) {
    reportFailure(e);
    return;
  }
  const ScreenManager& screens = ScreenManager::shared();
  std::set<int> spaces = screens.currentSpaces();
  for (const int space : screens.spacesToVisit()) spaces.insert(space);
  firstRunSpaces_ = std::move(spaces);
  dispatch::MainQueue::asyncAfter(3.0, [this] { reconcileFirstRunSpaces(); });
}

void StoreService::reconcileFirstRunSpaces() {
  for (const int shown : ScreenManager::shared().currentSpaces()) firstRunSpaces_.erase(shown);
}

}  // namespace tilvane
