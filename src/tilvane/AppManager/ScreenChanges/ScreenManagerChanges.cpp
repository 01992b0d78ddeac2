// How the screen manager follows desktop and display changes.
#include <algorithm>

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "Layout/WindowIndex/WindowIndexRegistry.h"
#include "platform/desktop/Desktop.h"

namespace tilvane {
namespace {
constexpr double kScreenChangeSettling = 1.0;
}  // namespace

void ScreenManager::observe() {
  Desktop* desktop = Desktop::current();
  if (isObserving_ || !desktop) return;
  isObserving_ = true;
  DesktopNotificationCenter& center = desktop->notificationCenter();
  disposeBag_.insert(center.activeSpaceDidChange().subscribe([this](rx::Unit) { activeSpaceDidChange(); }));
  disposeBag_.insert(center.screenParametersDidChange().subscribe([this](rx::Unit) { screenParametersDidChange(); }));
  disposeBag_.insert(center.didWake().subscribe([this](rx::Unit) { didWake(); }));
  disposeBag_.insert(center.screensDidWake().subscribe([this](rx::Unit) { screenDidWake(); }));
}

void ScreenManager::activeSpaceDidChange() {
  LogManager::debug("space changed");
  markCurrentSpacesVisited();
  LogManager::debug("rx space changed");
  dispatch::MainQueue::async([] { WindowManager::shared().loadWindows(); });
}

void ScreenManager::screenParametersDidChange() {
  isScreenChanging_ = true;
  // One reset, pushed back by every change: a later change is not cut short by an earlier one's timer.
  screenChangingReset_.schedule(kScreenChangeSettling, [this] { isScreenChanging_ = false; });
  reloadScreens();
  std::string identifier = makeDisplayIdentifier();
  if (identifier == displayIdentifier_) return;
  displayIdentifier_ = std::move(identifier);
  activedSpaces_.clear();
  LogManager::debug("rx screen changed");
  dispatch::MainQueue::async([] { ScreenManager::shared().resetAfterDisplayChange(); });
  LogManager::debug("screen params changed");
}

void ScreenManager::screenDidWake() {}

void ScreenManager::didWake() { screenDidWake(); }

std::string ScreenManager::makeDisplayIdentifier() const {
  std::vector<const ScreenInfo*> sorted;
  for (const ScreenInfo& info : screens_) sorted.push_back(&info);
  std::stable_sort(sorted.begin(), sorted.end(), [](const ScreenInfo* a, const ScreenInfo* b) { return a->id < b->id; });
  std::string identifier;
  for (const ScreenInfo* info : sorted) {
    if (!identifier.empty()) identifier += "-";
    identifier += "[" + info->id + "_" + std::to_string(info->spaces.size()) + "]";
  }
  return identifier;
}

void ScreenManager::resetAfterDisplayChange() {
  LayoutManager::shared().removeAllLayoutItems();
  WindowIndexRegistry::replaceCurrent();
  WindowManager::shared().removeWindows();
  WindowManager::shared().loadWindows();
}

}  // namespace tilvane
