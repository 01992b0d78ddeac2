#include "support/windows/WindowWorld.h"

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Startup/ManagerSetup.h"
#include "AppManager/Store/StoreService.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/WindowMovingModel.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/SIApplication.h"
#include "platform/store/Database.h"
#include "support/windows/StoredRecord.h"

namespace tilvane::test {

WindowWorld::WindowWorld(int spaces, sim::SpacesMode mode) : sim_(std::make_unique<sim::SimDesktop>(mode, spaces)) {
  sim_->addDisplay({.frame = CGRectMake(0, 0, 1440, 900),
                    .visibleFrame = CGRectMake(0, 0, 1440, 877),
                    .spaceCount = mode == sim::SpacesMode::separate ? spaces : 1});
  scope_ = std::make_unique<Desktop::Scope>(*sim_);
  StoreService::shared().configureRealm();
  log.clear();
}

WindowWorld::~WindowWorld() {
  // The managers go before the desktop they observe.
  SharedInstances::resetAll();
  scope_.reset();
}

void WindowWorld::startManagers() {
  setupWindowManagers();
}

AXUIElement WindowWorld::admitWindow(const sim::SimWindowConfig& config, const std::string& bundle) {
  auto found = pids_.find(bundle);
  if (found == pids_.end()) {
    const pid_t pid = apps().addApplication({.bundleIdentifier = bundle});
    ApplicationManager::shared().addApplication(SIApplication(pid));
    found = pids_.emplace(bundle, pid).first;
  }
  const AXUIElement window = apps().addWindow(found->second, config);
  WindowManager::shared().addWindow(SIWindow(window));
  return window;
}

AXUIElement WindowWorld::settledWindow(const sim::SimWindowConfig& config, const std::string& bundle) {
  const AXUIElement window = admitWindow(config, bundle);
  advance(3.0);
  return window;
}

pid_t WindowWorld::pidOf(const std::string& bundle) const {
  const auto found = pids_.find(bundle);
  return found == pids_.end() ? 0 : found->second;
}

std::shared_ptr<LayoutItem> WindowWorld::itemOf(const AXUIElement& window) const {
  for (const auto& item : LayoutManager::shared().layoutItems())
    if (item->window() == SIWindow(window)) return item;
  return nullptr;
}

AutoLayoutModelPtr WindowWorld::storeRecord(const std::string& bundle, std::int64_t index, const CGRect& fractions,
                                            std::int64_t screenCount, std::int64_t windowID,
                                            std::int64_t screenIndex) {
  return storeAutoLayoutRecord({.bundle = bundle,
                                .windowIndex = index,
                                .fractions = fractions,
                                .screenCount = screenCount,
                                .screenIndex = screenIndex,
                                .windowID = windowID});
}

std::vector<AutoLayoutModelPtr> WindowWorld::records() const {
  return store::Database::open()->objects<AutoLayoutModel>();
}

std::vector<WindowMovingModelPtr> WindowWorld::history() const {
  return store::Database::open()->objects<WindowMovingModel>();
}

std::vector<std::string> WindowWorld::logLines(std::string_view text) const {
  std::vector<std::string> lines;
  for (const std::string& line : log.lines())
    if (line.find(text) != std::string::npos) lines.push_back(line);
  return lines;
}

CGRect WindowWorld::frameOf(const AXUIElement& window) const {
  return sim_->applications().frameOf(window).value_or(CGRect{});
}

bool WindowWorld::isShown(const AXUIElement& window) const {
  for (const SIWindow& shown : SIApplication(window.pid).windows())
    if (shown.axElement() == window) return true;
  return false;
}

bool WindowWorld::shownOn(const AXUIElement& window, int number) {
  sim_->switchToSpaceAtPosition(number + 1);
  drain();
  return isShown(window);
}

std::vector<WindowWorld::Request> WindowWorld::requests() const {
  std::vector<Request> sent;
  for (const auto& r : sim_->applications().requests()) sent.emplace_back(r.kind, r.a, r.b);
  return sent;
}

CGRect fractionsOf(const AutoLayoutModel& model) {
  return CGRectMake(model.x(), model.y(), model.width(), model.height());
}

}  // namespace tilvane::test
