// Finding, or making, the remembered placement of a window.
#include <algorithm>

#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Screens/DisplayUuid.h"
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

std::int64_t displayCount() { return std::max<std::int64_t>(static_cast<std::int64_t>(NSScreen::count()), 1); }

// Sets a found record's window index; it is changed only inside a write transaction of its own database, and a
// failed write leaves it as it was.
void setWindowIndex(const AutoLayoutModelPtr& model, std::int64_t index, PlacementRecords& placements) {
  if (!model || model->isInvalidated() || model->windowIndex() == index) return;
  const auto database = model->isManaged() ? model->database() : StoreService::shared().database();
  if (!database) return;
  const std::int64_t old = model->windowIndex();
  try {
    database->write([&] { model->setWindowIndex(index); });
  } catch (const store::Error& e) {
    StoreService::shared().reportFailure(e);
    return;
  }
  placements.moved(model, old);
}

void copyFractions(AutoLayoutModel& to, const AutoLayoutModel& from) {
  to.setX(from.x());
  to.setY(from.y());
  to.setWidth(from.width());
  to.setHeight(from.height());
}

// Where a window is: its frame, its display, its desktop and the number of displays.
struct Place {
  CGRect frame;
  std::optional<NSScreen> screen;  // never empty
  std::optional<std::string> display;  // the screen's display UUID, asked once for its index and desktop
  int space = 0;
  std::int64_t displays = 1;
};

std::optional<Place> placeOf(const SIWindow& window, std::int64_t displays) {
  const CGRect frame = window.frame();
  auto screen = SIWindow::screenHolding(frame);
  if (!screen) return std::nullopt;
  auto display = screenDisplayUuid(screen);
  const int space = ScreenManager::shared().spaceIndexOfWindowOnDisplay(window, display);
  return Place{frame, std::move(screen), std::move(display), space, displays};
}

// What the window's record needs is passed in: its bundle identifier and lowest free index each cost a lookup
// of its process, and its place a round of the desktop's lists.
AutoLayoutModelPtr makeModel(const SIWindow& window, const std::string& bundle, std::int64_t windowIndex,
                             const Place& place, std::string id) {
  ScreenManager& screens = ScreenManager::shared();
  const CGRect fractions = TransformUtils::ratio(place.frame, place.screen->visibleFrame);
  auto model = std::make_shared<AutoLayoutModel>();
  model->setBundleIdentifier(bundle);
  model->setWindowID(window.windowID());
  model->setWindowIndex(windowIndex);
  model->setSpaceIndex(place.space);
  model->setSpaceCount(screens.spaceCount());
  model->setScreenIndex(screens.screenIndexOfDisplay(place.display));
  model->setScreenCount(place.displays);
  model->setX(fractions.origin.x);
  model->setY(fractions.origin.y);
  model->setWidth(fractions.size.width);
  model->setHeight(fractions.size.height);
  model->setId(std::move(id));  // what makeId() would make
  return model;
}
}  // namespace

std::optional<std::string> StoreService::windowRecordId(const SIWindow& window) const {
  const auto bundle = bundleIdentifierOfWindow(window);
  if (!bundle) return std::nullopt;
  return AutoLayoutModel::idFor(*bundle, WindowIndexRegistry::registeredWindowIndexes(window), displayCount());
}

AutoLayoutModelPtr StoreService::makeAutoLayoutModel(const SIWindow& window) const {
  const auto bundle = bundleIdentifierOfWindow(window);
  const auto place = placeOf(window, displayCount());
  if (!bundle || !place) return nullptr;
  const std::int64_t index = WindowIndexRegistry::registeredWindowIndexes(window);
  return makeModel(window, *bundle, index, *place, AutoLayoutModel::idFor(*bundle, index, place->displays));
}

void StoreService::reconcileFirstRunSpacesLater() {
  const double due = dispatch::MainQueue::clock().now() + kFirstRunReconcileDelay;
  if (due - lastReconcileDue_ < 0.1) return;
  lastReconcileDue_ = due;
  dispatch::MainQueue::asyncAfter(kFirstRunReconcileDelay, [] { StoreService::shared().reconcileFirstRunSpaces(); });
}

AutoLayoutModelPtr StoreService::autoLayoutModelForWindow(const SIWindow& window) {
  const auto bundle = bundleIdentifierOfWindow(window);
  return bundle ? autoLayoutModelForWindow(window, *bundle) : nullptr;
}

AutoLayoutModelPtr StoreService::autoLayoutModelForWindow(const SIWindow& window, const std::string& bundle) {
  const std::int64_t index = WindowIndexRegistry::current()->lowestFreeIndex(bundle);
  const std::int64_t screenCount = displayCount();
  std::string id = AutoLayoutModel::idFor(bundle, index, screenCount);

  // Every record of the application, read once and kept in step with the store: windows are admitted by the
  // thousand, and a query or a scan of the application's records for each grows with the square of them.
  const auto database = this->database();
  PlacementRecords::Application* siblings = nullptr;
  if (database) {
    try {
      siblings = &placements_.of(*database, bundle);
    } catch (const store::Error& e) {
      reportFailure(e);
    }
  }
  if (siblings) {
    // The same window seen before: the latest record with its number.
    if (const AutoLayoutModelPtr same = siblings->ofWindow(window.windowID())) {
      setWindowIndex(same, index, placements_);
      return same;
    }
    // The same place among the application's windows.
    if (const AutoLayoutModelPtr sameSlot = siblings->withId(id)) {
      setWindowIndex(sameSlot, index, placements_);
      return sameSlot;
    }
  }

  // A sibling whose frame the window inherits.
  const auto place = placeOf(window, screenCount);
  if (!place) return nullptr;
  if (!siblings || siblings->empty()) return makeModel(window, bundle, index, *place, std::move(id));
  AutoLayoutModelPtr chosen = siblings->firstInSlot(index, screenCount);
  if (!chosen) chosen = siblings->firstWithScreenCount(screenCount);
  AutoLayoutModelPtr made = makeModel(window, bundle, index, *place, std::move(id));
  if (!chosen) {
    copyFractions(*made, *siblings->first());
    return made;
  }

  // A window met on a desktop not yet seen since the first run stays where the user left it.
  if (firstRunSpaces().count(place->space) > 0) {
    reconcileFirstRunSpacesLater();
    return made;
  }
  copyFractions(*made, *chosen);
  return made;
}

}  // namespace tilvane
