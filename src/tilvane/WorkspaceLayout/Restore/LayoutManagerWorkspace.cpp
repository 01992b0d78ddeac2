// Restoring a saved workspace on the layout manager's workspace queue: a message, a visit of the desktops not
// seen yet, a switch to the first window's desktop, one operation per window, and a closing message. Every step
// is a main-loop task; the waits are timers, so nothing blocks and nothing races.
#include <algorithm>
#include <climits>

#include "AppManager/Geometry/DesktopSwitch.h"
#include "AppManager/Geometry/Placement.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Store/StoreService.h"
#include "Layout/LayoutManager.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "UI/HUD/VkHUD.h"
#include "WorkspaceLayout/Restore/AsyncBlockOperation.h"
#include "WorkspaceLayout/Restore/DesktopReturn.h"
#include "WorkspaceLayout/Restore/ItemApplication.h"
#include "WorkspaceLayout/Restore/ItemLaunches.h"
#include "WorkspaceLayout/Restore/WorkspaceItemLayoutOperation.h"
#include "WorkspaceLayout/Restore/WorkspaceRestoreClaims.h"
#include "platform/desktop/NSScreen.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

constexpr double kAnnouncePause = 1.0;
constexpr double kVisitPause = 1.0;
constexpr double kNothingToVisitPause = 0.5;
/// Desktops above this position have no key of their own.
constexpr int kLastKeyedPosition = 10;

/// Keeps with `item` the process that showed its launch's window: in the store when it is stored there.
void keepLaunchProcess(WorkspaceLayoutItemModel& item, const std::string& process) {
  if (item.isInvalidated()) return;
  if (!item.isManaged()) return item.setLaunchProcess(process);
  const auto db = item.database();
  if (!db || db->isInWriteTransaction()) return;
  try {
    db->write([&] { item.setLaunchProcess(process); });
  } catch (const store::Error& e) {
    StoreService::shared().reportFailure(e);
  }
}

int toInt(std::int64_t value) { return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX)); }

/// Shows desktop number spaces[index] and those after it, one a second, then calls `completion`.
void visitFrom(std::shared_ptr<const std::vector<int>> spaces, std::size_t index, std::function<void()> completion) {
  if (index == spaces->size()) {
    completion();
    return;
  }
  const int position = (*spaces)[index] + 1;
  if (position >= 1 && position <= kLastKeyedPosition) switchToDesktop(position);
  dispatch::MainQueue::asyncAfter(kVisitPause, [spaces = std::move(spaces), index, completion = std::move(completion)] {
    visitFrom(spaces, index + 1, completion);
  });
}

}  // namespace

void LayoutManager::layoutWorkspace(const WorkspaceLayoutGroupModel& group) {
  ++workspaceRestores_;
  setWorkspaceRunning(true);

  // The steps are queued while the queue is held, so one restore's steps are never interleaved with another's.
  dispatch::OperationQueue& queue = workspaceOperationQueue_;
  queue.setSuspended(true);
  queue.addOperation(std::make_shared<AsyncBlockOperation>(
      [this](AsyncBlockOperation::Done done) { announceWorkspaceStart(std::move(done)); }));
  // The desktop the user is on when the visit starts: a restore that places no window ends there.
  const auto userDesktop = std::make_shared<int>(0);
  queue.addOperation(std::make_shared<AsyncBlockOperation>([userDesktop](AsyncBlockOperation::Done done) {
    *userDesktop = shownDesktop();
    LayoutManager::visitSpaces(std::move(done));
  }));

  const auto items = group.items();
  // The only desktop switch of the restore; the items' own desktops are reached by their operations. A
  // negative desktop names none: no switch.
  const int position = items.size() > 0 && items[0]->spaceIndex() >= 0 ? toInt(items[0]->spaceIndex() + 1) : 0;
  queue.addOperation(
      std::make_shared<AsyncBlockOperation>([position, userDesktop](AsyncBlockOperation::Done done) {
        if (position == 0) return returnToDesktop(*userDesktop, std::move(done));
        switchToDesktop(position);
        done();
      }));
  // The items share what they took, so two items of one application end as two windows.
  const auto claims = std::make_shared<WorkspaceRestoreClaims>();
  for (std::size_t i = 0; i < items.size(); ++i) queue.addOperation(makeWorkspaceItemOperation(*items[i], claims));
  queue.addOperation(
      std::make_shared<AsyncBlockOperation>([this, claims, userDesktop](AsyncBlockOperation::Done done) {
        const auto finish = [this, claims, done = std::move(done)] {
          finishWorkspace(claims->skipped());
          done();
        };
        if (claims->windows().empty()) return returnToDesktop(*userDesktop, finish);
        finish();
      }));
  queue.setSuspended(false);
}

std::shared_ptr<WorkspaceItemLayoutOperation> LayoutManager::makeWorkspaceItemOperation(
    const WorkspaceLayoutItemModel& item, std::shared_ptr<WorkspaceRestoreClaims> claims) const {
  ScreenManager& screens = ScreenManager::shared();
  const int space = toInt(item.spaceIndex());
  const CGRect display = NSScreen::screensHaveSeparateSpaces() ? screens.screenFrameForSpace(space)
                                                                : screens.screenFrameAtIndex(toInt(item.screenIndex()));
  const CGRect frame = askedFrame(recordedPlaceOf(item), display);
  auto operation = std::make_shared<WorkspaceItemLayoutOperation>(frame, space, item.bundleIdentifier(), item.appPath(),
                                                                  item.filePath(), std::move(claims));
  operation->setName(describeItemApplication(item).name);
  // The item's id outlives this run of the program: a later restore knows the windows of this one's launches.
  operation->setMark(item.id());
  // Held for the restore: an item read from the store lives only while someone holds it.
  const auto held = std::static_pointer_cast<WorkspaceLayoutItemModel>(
      std::const_pointer_cast<store::Object>(item.weak_from_this().lock()));
  operation->setLaunchProcess(item.launchProcess(), [held](const std::string& process) {
    if (held) keepLaunchProcess(*held, process);
  });
  return operation;
}

void LayoutManager::visitSpaces(std::function<void()> completion) {
  std::vector<int> spaces = ScreenManager::shared().spacesToVisit();
  std::sort(spaces.begin(), spaces.end());
  if (spaces.empty()) {
    dispatch::MainQueue::asyncAfter(kNothingToVisitPause, std::move(completion));
    return;
  }
  visitFrom(std::make_shared<const std::vector<int>>(std::move(spaces)), 0, std::move(completion));
}

std::shared_ptr<dispatch::Operation> LayoutManager::makeVisitSpacesOperation() {
  return std::make_shared<AsyncBlockOperation>(
      [](AsyncBlockOperation::Done done) { LayoutManager::visitSpaces(std::move(done)); });
}

void LayoutManager::announceWorkspaceStart(std::function<void()> completion) {
  showHUD(l10n::key("StartLayoutSpaces"));
  dispatch::MainQueue::asyncAfter(kAnnouncePause, std::move(completion));
}

void LayoutManager::finishWorkspace(const std::vector<std::string>& skipped) {
  // Each restore holds the recording pause until its own end, so a second one queued behind the first keeps it.
  if (workspaceRestores_ > 0) --workspaceRestores_;
  setWorkspaceRunning(workspaceRestores_ > 0);
  if (!workspaceRunning()) ItemLaunches::shared().restoresEnded();
  if (skipped.empty()) {
    showHUD(l10n::key("LayoutComplete"));
    return;
  }
  // The message lasts: whatever each skipped item said has been covered by the messages after it.
  std::string names;
  for (const std::string& name : skipped) names += (names.empty() ? " " : ", ") + name;
  const std::string message = NSLocalizedString("LayoutComplete") + ". " + NSLocalizedString("WorkspaceSkipped") + names;
  LogManager::warning("workspace restored without:" + names);
  VkHUD::shared().show(message, 3.0, VkHUDPosition::center, VkHUDSize::medium, VkHUDStyle::dark, false);
}

void LayoutManager::showHUD(const std::string& key) {
  VkHUD::shared().show(NSLocalizedString(key), 3.0, VkHUDPosition::center, VkHUDSize::medium, VkHUDStyle::dark,
                       false);
}

}  // namespace tilvane
