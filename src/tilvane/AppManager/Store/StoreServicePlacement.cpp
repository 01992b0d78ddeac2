// Finding, or making, the remembered placement of a window.
#include <algorithm>

#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Store/StoreService.h"
#include "Layout/WindowIndex/WindowIndexRegistry.h"
#include "Models/AutoLayoutModel.h"
#include "platform/desktop/SIWindow.h"
#include "platform/desktop/WindowBundleIdentifier.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {
constexpr double kFirstRunReconcileDelay = 3.0;

std::int64_t displayCount() { return std::max<std::int64_t>(static_cast<std::int64_t>(NSScreen::screens().size()), 1); }

// Sets a found record's window index; it is changed only inside a write transaction of its own database, and a
// failed write leaves it as it was.
void setWindowIndex(const AutoLayoutModelPtr& model, std::int64_t index) {
  if (!model || model->isInvalidated()) return;
  const auto database = model->isManaged() ? model->database() : StoreService::shared().database();
  if (!database) return;
  try {
    database->write([&] { model->setWindowIndex(index); });
  } catch (const store::Error& e) {
    StoreService::shared().reportFailure(e);
  }
}

void copyFractions(AutoLayoutModel& to, const AutoLayoutModel& from) {
  to.setX(from.x());
  to.setY(from.y());
  to.setWidth(from.width());
  to.setHeight(from.height());
}
}  // namespace

std::optional<std::string> StoreService::windowRecordId(const SIWindow& window) const {
  const auto bundle = bundleIdentifierOfWindow(window);
  if (!bundle) return std::nullopt;
  return *bundle + "-" + std::to_string(WindowIndexRegistry::registeredWindowIndexes(window)) + "-" +
         std::to_string(displayCount());
}

AutoLayoutModelPtr StoreService::makeAutoLayoutModel(const SIWindow& window) const {
  const auto bundle = bundleIdentifierOfWindow(window);
  const auto screen = window.screen();
  if (!bundle || !screen) return nullptr;
  ScreenManager& screens = ScreenManager::shared();
  const CGRect fractions = TransformUtils::ratio(window.frame(), screen->visibleFrame);
  auto model = std::make_shared<AutoLayoutModel>();
  model->setBundleIdentifier(*bundle);
  model->setWindowID(window.windowID());
  model->setWindowIndex(WindowIndexRegistry::registeredWindowIndexes(window));
  model->setSpaceIndex(screens.currentSpaceIndex(screen));
  model->setSpaceCount(screens.spaceCount());
  model->setScreenIndex(screens.screenIndex(screen));
  model->setScreenCount(displayCount());
  model->setX(fractions.origin.x);
  model->setY(fractions.origin.y);
  model->setWidth(fractions.size.width);
  model->setHeight(fractions.size.height);
  model->makeId();
  return model;
}

AutoLayoutModelPtr StoreService::autoLayoutModelForWindow(const SIWindow& window) {
  const auto id = windowRecordId(window);
  const auto bundle = bundleIdentifierOfWindow(window);
  if (!id || !bundle) return nullptr;
  const std::int64_t index = WindowIndexRegistry::registeredWindowIndexes(window);

  // Every record of the application, found through the index on bundleIdentifier; the same window seen
  // before is the latest of them with its number.
  const auto siblings = autoLayoutModels(store::Predicate::equals("bundleIdentifier", *bundle));
  if (siblings) {
    const std::int64_t windowID = window.windowID();
    const auto same = std::find_if(siblings->rbegin(), siblings->rend(),
                                   [&](const AutoLayoutModelPtr& m) { return m && m->windowID() == windowID; });
    if (same != siblings->rend()) {
      setWindowIndex(*same, index);
      return *same;
    }
  }

  // The same place among the application's windows.
  const auto sameSlot = autoLayoutModels(idPredicate(*id));
  if (sameSlot && !sameSlot->empty()) {
    const AutoLayoutModelPtr found = sameSlot->front();
    setWindowIndex(found, index);
    return found;
  }

  // A sibling whose frame the window inherits.
  if (!siblings || siblings->empty()) return makeAutoLayoutModel(window);
  const std::int64_t screenCount = displayCount();
  auto chosen = std::find_if(siblings->begin(), siblings->end(), [&](const AutoLayoutModelPtr& m) {
    return m->windowIndex() == index && m->screenCount() == screenCount;
  });
  if (chosen == siblings->end())
    chosen = std::find_if(siblings->begin(), siblings->end(),
                          [&](const AutoLayoutModelPtr& m) { return m->screenCount() == screenCount; });
  if (chosen == siblings->end()) {
    AutoLayoutModelPtr made = makeAutoLayoutModel(window);
    if (made) copyFractions(*made, *siblings->front());
    return made;
  }

  // A window met on a desktop not yet seen since the first run stays where the user left it.
  if (firstRunSpaces().count(ScreenManager::shared().currentSpaceIndex(window.screen())) > 0) {
    dispatch::MainQueue::asyncAfter(kFirstRunReconcileDelay, [] { StoreService::shared().reconcileFirstRunSpaces(); });
    return makeAutoLayoutModel(window);
  }

  AutoLayoutModelPtr made = makeAutoLayoutModel(window);
  if (made) copyFractions(*made, **chosen);
  return made;
}

}  // namespace tilvane
