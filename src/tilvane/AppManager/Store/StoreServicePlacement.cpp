// Finding, or making, the remembered placement of a window.
#include <algorithm>
#include <unordered_set>

#include "AppManager/Geometry/Placement.h"
#include "AppManager/Screens/DisplayUuid.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Store/StoreService.h"
#include "Layout/WindowIndex/WindowIndexRegistry.h"
#include "Models/AutoLayoutModel.h"
#include "platform/desktop/CGWindowList.h"
#include "platform/desktop/SIWindow.h"
#include "platform/desktop/WindowBundleIdentifier.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {
constexpr double kFirstRunReconcileDelay = 3.0;

std::int64_t displayCount() { return std::max<std::int64_t>(static_cast<std::int64_t>(NSScreen::count()), 1); }

// Gives a found record to the window: its number and window index. They are changed only inside a write
// transaction of the record's database, and a failed write leaves them as they were.
void adopt(const AutoLayoutModelPtr& model, std::int64_t windowID, std::int64_t index,
           PlacementRecords& placements) {
  if (!model || model->isInvalidated()) return;
  const std::int64_t oldIndex = model->windowIndex();
  const bool renumber = model->windowID() != windowID;
  if (oldIndex == index && !renumber) return;
  const auto database = model->isManaged() ? model->database() : StoreService::shared().database();
  if (!database) return;
  try {
    database->write([&] {
      if (oldIndex != index) model->setWindowIndex(index);
      if (renumber) model->setWindowID(windowID);
    });
  } catch (const store::Error& e) {
    StoreService::shared().reportFailure(e);
    return;
  }
  if (oldIndex != index) placements.moved(model, oldIndex);
  if (renumber) placements.renumbered(model);
}

// The window's own record, found by its number, under its index, or under `freeIndex` when another window holds
// that.
AutoLayoutModelPtr ownRecord(const AutoLayoutModelPtr& same, const WindowIndexRegistry& registry,
                             const std::string& bundle, std::int64_t windowID, std::int64_t freeIndex,
                             PlacementRecords& placements) {
  if (registry.isHeld(bundle, same->windowIndex())) adopt(same, windowID, freeIndex, placements);
  return same;
}

// The numbers of the windows open now, asked of the desktop once, when a lookup first needs them.
class OpenWindows {
 public:
  bool contains(std::int64_t windowID) {
    if (windowID == 0) return false;
    if (!numbers_) {
      numbers_.emplace();
      if (const auto list = CGWindowListCopyWindowInfo(kCGWindowListOptionAll, kCGNullWindowID))
        for (const CGWindowInfo& info : *list) numbers_->insert(info.windowNumber);
    }
    return numbers_->count(static_cast<CGWindowID>(windowID)) > 0;
  }

 private:
  std::optional<std::unordered_set<CGWindowID>> numbers_;
};

// What one free window index of the application holds for a window without a record of its own.
struct Slot {
  AutoLayoutModelPtr record;  // a record the window may take
  bool reserved = false;      // its records belong to other windows still open (or held under another index)
};

Slot slotFor(PlacementRecords::Application& siblings, const WindowIndexRegistry& registry,
             const std::string& bundle, std::int64_t index, std::int64_t screenCount, std::int64_t windowID,
             OpenWindows& open) {
  // A record whose window is open is kept for it: at a start, that window may be admitted after this one.
  const auto free = [&](const AutoLayoutModel& r) {
    return r.windowID() == windowID || !open.contains(r.windowID());
  };
  if (AutoLayoutModelPtr record = siblings.firstInSlot(index, screenCount, free)) return {std::move(record)};
  bool reserved = siblings.firstInSlot(index, screenCount) != nullptr;
  // A record made for this index and later moved to another one, unless a window holds it there.
  if (AutoLayoutModelPtr named = siblings.withId(AutoLayoutModel::idFor(bundle, index, screenCount))) {
    if ((named->windowIndex() == index || !registry.isHeld(bundle, named->windowIndex())) && free(*named))
      return {std::move(named)};
    reserved = true;
  }
  return {nullptr, reserved};
}

void copyFractions(AutoLayoutModel& to, const AutoLayoutModel& from) { setRecordedPlace(to, recordedPlaceOf(from)); }

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
  // Where the window stands, as a placement asks for it: placing the window by its record leaves it there.
  const RecordedPlace fractions = recordedPlace(place.frame, place.screen->visibleFrame);
  auto model = std::make_shared<AutoLayoutModel>();
  model->setBundleIdentifier(bundle);
  model->setWindowID(window.windowID());
  model->setWindowIndex(windowIndex);
  model->setSpaceIndex(place.space);
  model->setSpaceCount(screens.spaceCount());
  model->setScreenIndex(screens.screenIndexOfDisplay(place.display));
  model->setScreenCount(place.displays);
  setRecordedPlace(*model, fractions);
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
  const WindowIndexRegistry& registry = *WindowIndexRegistry::current();
  std::int64_t index = registry.lowestFreeIndex(bundle);
  const std::int64_t screenCount = displayCount();
  const auto windowID = static_cast<std::int64_t>(window.windowID());

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
  // Each open window holds a record of its own, under its own index: no two share one.
  if (siblings) {
    // The same window seen before (its number outlives the program's restarts) with as many displays: the latest
    // record with it, under its index unless another window holds that now.
    if (const AutoLayoutModelPtr same = siblings->ofWindow(windowID, screenCount))
      return ownRecord(same, registry, bundle, windowID, index, placements_);
    // Else the lowest free index whose record no open window keeps: that record becomes this window's.
    OpenWindows open;
    for (;; index = registry.nextFreeIndex(bundle, index + 1)) {
      const Slot slot = slotFor(*siblings, registry, bundle, index, screenCount, windowID, open);
      if (slot.record) {
        adopt(slot.record, windowID, index, placements_);
        return slot.record;
      }
      if (!slot.reserved) break;
    }
    // Else its own record made with another number of displays.
    if (const AutoLayoutModelPtr same = siblings->ofWindow(windowID, std::nullopt))
      return ownRecord(same, registry, bundle, windowID, index, placements_);
  }
  std::string id = AutoLayoutModel::idFor(bundle, index, screenCount);

  // A sibling whose frame the window inherits (the index has no record: the search above would have taken it).
  const auto place = placeOf(window, screenCount);
  if (!place) return nullptr;
  if (!siblings || siblings->empty()) return makeModel(window, bundle, index, *place, std::move(id));
  const AutoLayoutModelPtr chosen = siblings->firstWithScreenCount(screenCount);
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
