// Capturing the managed windows as the items of a new workspace.
#include <algorithm>

#include "AppManager/Geometry/Placement.h"
#include "AppManager/Screens/ScreenManager.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "platform/desktop/NSScreen.h"

namespace tilvane {

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
    // By its bundle identifier alone (no path): restoring it brings a running application forward, and
    // starts it only when it does not run.
    item->setBundleIdentifier(record->bundleIdentifier());
    item->setDevicesIdentifier(devices);
    item->setScreenIndex(record->screenIndex());
    item->setScreenCount(screenCount);
    item->setSpaceIndex(record->spaceIndex());
    item->setSpaceCount(spaceCount);
    setRecordedPlace(*item, recordedPlaceOf(*record));
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace tilvane
