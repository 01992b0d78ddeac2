#include "TilvaneInstance.h"

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Startup/ManagerSetup.h"
#include "AppManager/Store/StoreService.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "Models/CustomLayoutModel.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/hotkeys/MASShortcutMonitor.h"
#include "platform/store/Database.h"

namespace tilvane::bench {
namespace {
constexpr std::int64_t kControlOption = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;

// A fixed layout of one cell of a 2 x 1 grid (bit 1 the left cell, bit 0 the right) on Control+Option+key.
void storeHalf(const std::string& name, std::int64_t cell, CGKeyCode key) {
  auto layout = std::make_shared<CustomLayoutModel>();
  layout->setId(name);
  layout->setName(name);
  layout->setType(1);
  layout->setWidth(2);
  layout->setHeight(1);
  layout->setMatrixValue(cell);
  layout->setKeyCode(key);
  layout->setModifierFlags(kControlOption);
  const auto database = store::Database::open();
  database->write([&] { database->add(layout, store::UpdatePolicy::all); });
}
}  // namespace

std::unique_ptr<TilvaneInstance> TilvaneInstance::start(const std::string& display, std::string* error) {
  auto desktop = x11::X11Desktop::connect(display, error);
  if (!desktop) return nullptr;
  std::unique_ptr<TilvaneInstance> tilvane(new TilvaneInstance(std::move(desktop)));

  // The application delegate's order.
  LogManager::setup();
  StoreService::shared().configureRealm();
  storeHalf("Left half", 2, kVK_ANSI_1);
  storeHalf("Right half", 1, kVK_ANSI_2);
  setupWindowManagers();
  return tilvane;
}

TilvaneInstance::TilvaneInstance(std::unique_ptr<x11::X11Desktop> desktop)
    : desktop_(std::move(desktop)), desktopScope_(*desktop_), hotKeys_(*desktop_), hotKeyScope_(hotKeys_.server()) {}

TilvaneInstance::~TilvaneInstance() {
  if (SharedInstance<LayoutManager>::exists()) LayoutManager::shared().flushPendingUpdates();
  SharedInstances::resetAll();
}

bool TilvaneInstance::isReadyFor(std::uint32_t window) const {
  bool managed = false;
  for (const SIWindow& w : WindowManager::shared().windows()) managed = managed || w.windowID() == window;
  const auto& monitor = MASShortcutMonitor::sharedMonitor();
  return managed && monitor.isShortcutRegistered(MASShortcut(kVK_ANSI_1, kControlOption)) &&
         monitor.isShortcutRegistered(MASShortcut(kVK_ANSI_2, kControlOption));
}

}  // namespace tilvane::bench
