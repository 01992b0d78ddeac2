// Capturing the managed windows as the items of a new workspace.
#include <algorithm>

#include "AppManager/Catalogue/AppManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "platform/desktop/NSRunningApplication.h"
#include "platform/desktop/NSScreen.h"

namespace tilvane {
namespace {

/// Where a restore finds the window's application again: its desktop entry, else the program its process runs
/// (a program without a desktop entry is still named and started by that); empty when neither is known.
std::string applicationPathOf(const std::string& bundleIdentifier, pid_t pid) {
  if (auto entry = AppManager::shared().applicationPath(bundleIdentifier)) return *entry;
  const auto running = NSRunningApplication::runningApplicationWithProcessIdentifier(pid);
  return running && running->executableURL ? *running->executableURL : std::string();
}

}  // namespace

std::vector<WorkspaceLayoutItemModelPtr> LayoutManager::snapshotWorkspace() const {
  ScreenManager& screens = ScreenManager::shared();
  const std::string devices = screens.makeDisplayIdentifier();
  const auto screenCount = std::max<std::int64_t>(static_cast<std::int64_t>(NSScreen::screens().size()), 1);
  const std::int64_t spaceCount = screens.spaceCount();

  std::vector<WorkspaceLayoutItemModelPtr> items;
  for (const auto& layoutItem : layoutItems_) {
    const AutoLayoutModelPtr& record = layoutItem->layoutModel();
    if (!record) continue;
    auto item = std::make_shared<WorkspaceLayoutItemModel>();
    item->setBundleIdentifier(record->bundleIdentifier());
    item->setAppPath(applicationPathOf(record->bundleIdentifier(), layoutItem->window().processIdentifier()));
    item->setDevicesIdentifier(devices);
    item->setScreenIndex(record->screenIndex());
    item->setScreenCount(screenCount);
    item->setSpaceIndex(record->spaceIndex());
    item->setSpaceCount(spaceCount);
    item->setX(record->x());
    item->setY(record->y());
    item->setWidth(record->width());
    item->setHeight(record->height());
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace tilvane
