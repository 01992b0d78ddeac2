#include "WorkspaceLayout/Restore/WorkspaceItemLayoutOperation.h"

#include <algorithm>

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Catalogue/AppManager.h"
#include "AppManager/Geometry/Placement.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "Layout/LayoutManager.h"
#include "UI/HUD/VkHUD.h"
#include "AppManager/Geometry/DesktopSwitch.h"
#include "WorkspaceLayout/Restore/DesktopReturn.h"
#include "WorkspaceLayout/Restore/ItemLaunches.h"
#include "platform/desktop/CGWindowList.h"
#include "platform/desktop/Launcher.h"
#include "platform/desktop/NSRunningApplication.h"
#include "platform/desktop/WindowBundleIdentifier.h"
#include "platform/desktop/WindowServer.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

bool runs(const std::string& bundleID) {
  const auto apps = NSWorkspace::runningApplications();
  return std::any_of(apps.begin(), apps.end(), [&](const auto& app) {
    return app.bundleIdentifier && sameApplication(*app.bundleIdentifier, bundleID);
  });
}

/// The processes running `program` as another application than `bundleID`: the identifier of their windows
/// tells they are not the item's.
std::vector<pid_t> othersRunning(const std::string& program, const std::string& bundleID) {
  std::vector<pid_t> pids;
  for (const NSRunningApplication& app : NSWorkspace::runningApplications())
    if (app.executableURL == program && app.bundleIdentifier && !sameApplication(*app.bundleIdentifier, bundleID))
      pids.push_back(app.processIdentifier);
  return pids;
}

/// Every window of the window server, on every desktop.
std::vector<AXUIElement> listedWindows() {
  std::vector<AXUIElement> windows;
  if (const auto all = CGWindowListCopyWindowInfo(kCGWindowListOptionAll, kCGNullWindowID))
    for (const CGWindowInfo& info : *all)
      if (info.ownerPID && info.windowNumber != kCGNullWindowID)
        windows.push_back(AXUIElement{AXUIElement::Role::window, *info.ownerPID, info.windowNumber});
  return windows;
}

}  // namespace

WorkspaceItemLayoutOperation::WorkspaceItemLayoutOperation(const CGRect& frame, int space, std::string bundleID,
                                                           std::string app, std::string file,
                                                           std::shared_ptr<WorkspaceRestoreClaims> claims)
    : frame_(frame),
      space_(space),
      bundleID_(std::move(bundleID)),
      app_(std::move(app)),
      file_(std::move(file)),
      claims_(claims ? std::move(claims) : std::make_shared<WorkspaceRestoreClaims>()) {
  // Parameters ask for a process of their own: such an item never takes a window that is open already.
  if (file_.empty())
    place_ = claims_->addPlace(bundleID_, {frame_, space_ >= 0 ? std::optional(space_) : std::nullopt});
}

WorkspaceItemLayoutOperation::~WorkspaceItemLayoutOperation() { LogManager::debug("deinit workspace operation"); }

std::vector<std::string> WorkspaceItemLayoutOperation::parameterWords(std::string_view file) {
  std::vector<std::string> words;
  if (file.empty()) return words;
  std::size_t start = 0;
  for (;;) {
    const std::size_t blank = file.find(' ', start);
    words.emplace_back(file.substr(start, blank == std::string_view::npos ? std::string_view::npos : blank - start));
    if (blank == std::string_view::npos) break;
    start = blank + 1;
  }
  return words;
}

LaunchRequest WorkspaceItemLayoutOperation::request() const {
  return app_.empty() ? LaunchRequest{LaunchTarget::bundleIdentifier, bundleID_} : LaunchRequest{LaunchTarget::path, app_};
}

LaunchRequest WorkspaceItemLayoutOperation::launched() const {
  LaunchRequest launched = request();
  launched.arguments = parameterWords(file_);
  launched.mark = mark_;
  return launched;
}

void WorkspaceItemLayoutOperation::setMark(std::string mark) {
  mark_ = std::move(mark);
  claims_->addMark(mark_);
}

void WorkspaceItemLayoutOperation::setLaunchProcess(std::string process,
                                                    std::function<void(const std::string&)> keep) {
  launchProcess_ = std::move(process);
  keepLaunchProcess_ = std::move(keep);
}

std::vector<SIWindow> WorkspaceItemLayoutOperation::ownLaunch(const std::vector<SIWindow>& windows) const {
  std::vector<SIWindow> marked, own;
  if (mark_.empty()) return own;
  std::copy_if(windows.begin(), windows.end(), std::back_inserter(marked),
               [&](const SIWindow& w) { return launchMarkOf(w.processIdentifier()) == mark_; });
  // What the program later starts inherits the mark too (a program run from the item's terminal): the item's
  // window is of the process that showed its launch's window, or of one its launch in this restore started.
  for (const SIWindow& w : marked) {
    const pid_t pid = w.processIdentifier();
    if ((!launchProcess_.empty() && launchProcessOf(pid) == launchProcess_) ||
        (launchedAt_ && processStartTime(pid) && !processStartedBefore(pid, *launchedAt_)))
      own.push_back(w);
  }
  if (!own.empty() || !launchProcess_.empty()) return own;
  // Launched before the process was kept with the item: the process started first.
  std::optional<double> first;
  for (const SIWindow& w : marked)
    if (const auto started = processStartTime(w.processIdentifier()); started && (!first || *started < *first))
      first = started;
  if (first)
    std::copy_if(marked.begin(), marked.end(), std::back_inserter(own),
                 [&](const SIWindow& w) { return processStartTime(w.processIdentifier()) == first; });
  return own;
}

void WorkspaceItemLayoutOperation::launchApp() {
  if (!ownProcess_)
    if (auto window = openWindow()) {
      // Brought forward on the item's desktop, never on the one it stands on.
      if (space_ >= 0 && window->space() != space_) {
        moveToItemDesktop(*window, space_);
        window->focusWindow();
      } else {
        bringWindowForward(window->axElement());
      }
      return;
    }
  if (!ownProcess_) {
    ownProcess_ = true;
    launchedAt_ = processClockNow();
    before_ = listedWindows();
    ItemLaunches::shared().launching(mark_);
  }
  if (!file_.empty()) {
    std::vector<std::string> arguments;
    if (claims_->hasClaimedWindowOf(bundleID_)) arguments.emplace_back("-n");
    if (!app_.empty()) {
      arguments.emplace_back("-a");
      arguments.push_back(app_);
    } else {
      arguments.emplace_back("-b");
      arguments.push_back(bundleID_);
    }
    for (std::string& word : parameterWords(file_)) arguments.push_back(std::move(word));
    startTaken_ = NSTask::launchedTaskWithLaunchPath(kOpenToolPath, arguments, mark_);
    return;
  }
  // Every window it has serves another item: only a process of its own gives this one a window.
  const auto options =
      windowsOfItem(true).empty() ? NSWorkspaceLaunchOptions::defaults : NSWorkspaceLaunchOptions::newInstance;
  startTaken_ = app_.empty()
                    ? NSWorkspaceLaunch::launchAppWithBundleIdentifier(bundleID_, options, passOver(), mark_)
                    : NSWorkspaceLaunch::launchApplication(app_, options, passOver(), mark_);
}

std::vector<AXUIElement> WorkspaceItemLayoutOperation::passOver() const {
  std::vector<AXUIElement> windows = claims_->windows();
  std::vector<SIWindow> listed;
  for (const AXUIElement& window : listedWindows()) listed.emplace_back(window);
  const std::vector<SIWindow> own = ownLaunch(listed);
  // Bringing the program forward must not offer another application's window, nor one carrying a mark of the
  // restore's items that is not of this item's own launch.
  for (const SIWindow& window : listed) {
    const pid_t pid = window.processIdentifier();
    const auto mark = launchMarkOf(pid);
    if ((std::find(others_.begin(), others_.end(), pid) != others_.end() ||
         (mark && claims_->isMark(*mark) && std::find(own.begin(), own.end(), window) == own.end())) &&
        std::find(windows.begin(), windows.end(), window.axElement()) == windows.end())
      windows.push_back(window.axElement());
  }
  return windows;
}

void WorkspaceItemLayoutOperation::main() {
  LogManager::debug("start operation");
  program_ = launchedProgramPath(request());
  if (program_ && !bundleID_.empty()) others_ = othersRunning(*program_, bundleID_);
  // Read when the item's turn comes, not when the restore was asked for: a restore before this one, also one
  // still running then, may have launched the item since.
  if (const auto known = ItemLaunches::shared().process(mark_)) launchProcess_ = *known;
  if (!awaitEarlierLaunch()) launchApp();
  after(kAttemptInterval, [](WorkspaceItemLayoutOperation& self) { self.attempt(0); });
}

bool WorkspaceItemLayoutOperation::awaitEarlierLaunch() {
  ItemLaunches& launches = ItemLaunches::shared();
  const auto since = launches.awaitedSince(mark_);
  if (!since || openWindow()) return false;
  // Nothing of that launch runs any more: it will show no window, so the item is started again.
  if (!markedProcessRuns(mark_, *since)) {
    launches.forget(mark_);
    return false;
  }
  ownProcess_ = true;
  startTaken_ = true;
  launchedAt_ = *since;
  // A window of that launch listed already, not yet admitted, is still one this item waits for.
  std::vector<SIWindow> listed;
  for (const AXUIElement& window : listedWindows()) listed.emplace_back(window);
  const std::vector<SIWindow> own = ownLaunch(listed);
  before_.clear();
  for (const SIWindow& window : listed)
    if (std::find(own.begin(), own.end(), window) == own.end()) before_.push_back(window.axElement());
  LogManager::debug("waiting for the window of an earlier restore's launch of " + name());
  return true;
}

bool WorkspaceItemLayoutOperation::belongs(const SIWindow& window, const std::optional<std::string>& bundle,
                                           bool named, bool othersToo) const {
  const pid_t pid = window.processIdentifier();
  // The mark first: a window of another item's launch, or of a program started from this item's window, is
  // none of this item's, whatever its name or program.
  if (const auto mark = launchMarkOf(pid); mark && !othersToo && claims_->isMark(*mark)) return false;
  if (std::find(others_.begin(), others_.end(), pid) != others_.end()) return false;
  if (bundle && sameApplication(*bundle, bundleID_)) return true;
  // Started through a link, a program's windows may carry another name than the saved one ("Wish8.6" for
  // "Wish"): its process runs the item's program. Only while nothing runs under the saved name, and only a
  // process that ran before the restore: one the user started meanwhile is the user's.
  if (!program_ || named || !processStartedBefore(pid, claims_->began())) return false;
  const auto running = NSRunningApplication::runningApplicationWithProcessIdentifier(pid);
  return running && running->executableURL == program_;
}

std::vector<SIWindow> WorkspaceItemLayoutOperation::windowsOfItem(bool claimed) const {
  std::vector<SIWindow> listed;
  for (const AXUIElement& element : listedWindows()) {
    const SIWindow window(element);
    // A document window, wherever it is: one off every display or refusing moves is still the item's to take.
    if ((claimed || !claims_->isClaimed(window)) &&
        window.stringForKey(kAXSubroleAttribute) == kAXStandardWindowSubrole)
      listed.push_back(window);
  }
  // What a launch of the item shows is its own, whatever the window is called and however its process parted
  // from the one started: a script's child in the background, a double fork.
  const std::vector<SIWindow> own = ownLaunch(listed);
  const bool named = runs(bundleID_);
  std::vector<SIWindow> windows;
  for (const SIWindow& window : listed)
    if (std::find(own.begin(), own.end(), window) != own.end() ||
        belongs(window, bundleIdentifierOfWindow(window), named, claimed))
      windows.push_back(window);
  return windows;
}

std::optional<SIWindow> WorkspaceItemLayoutOperation::openWindow() const {
  std::vector<SIWindow> windows = windowsOfItem();
  // A window of its own launch is its own; the nearest of them when there are several.
  std::vector<SIWindow> own = ownLaunch(windows);
  // Parameters ask for a process of their own: only the window of one is the item's.
  if (!place_) windows = own;
  if (windows.empty()) return std::nullopt;
  // Compared with where the items put their windows, the gap kept.
  std::vector<WindowSpot> places;
  std::size_t mine = 0;
  if (place_) {
    for (const auto& [number, spot] : claims_->openPlaces(bundleID_)) {
      if (number == *place_) mine = places.size();
      places.push_back({insetByGap(spot.frame, placementGap()), spot.space});
    }
  }
  if (!own.empty() && (!place_ || mine < places.size())) {
    windows = std::move(own);
    places = {{insetByGap(frame_, placementGap()), space_ >= 0 ? std::optional(space_) : std::nullopt}};
    mine = 0;
  }
  std::vector<WindowSpot> spots;
  for (const SIWindow& window : windows) spots.push_back({window.frame(), window.space()});
  const auto served = assignWindows(spots, places);
  if (mine >= served.size() || !served[mine]) return std::nullopt;
  return windows[*served[mine]];
}

std::optional<SIWindow> WorkspaceItemLayoutOperation::newWindow() const {
  std::vector<SIWindow> windows = windowsOfItem();
  std::erase_if(windows, [&](const SIWindow& window) {
    return std::find(before_.begin(), before_.end(), window.axElement()) != before_.end();
  });
  // Its launch's window before one that only carries its identifier.
  if (auto own = ownLaunch(windows); !own.empty()) windows = std::move(own);
  for (const std::optional<SIWindow>& preferred :
       {SIWindow::focusedWindow(), ApplicationManager::shared().lastCreatedWindow()})
    if (preferred && std::find(windows.begin(), windows.end(), *preferred) != windows.end()) return preferred;
  if (windows.empty()) return std::nullopt;
  return windows.front();
}

void WorkspaceItemLayoutOperation::attempt(int failedAttempts) {
  if (const auto window = ownProcess_ ? newWindow() : openWindow()) return take(*window);

  // Every attempt without a window of the application counts, whether or not other applications created
  // windows meanwhile: the wait always ends.
  if (failedAttempts >= kMaxRelaunches) return giveUp();
  // One start per restore: each start of a program that hands its window to a background process would be
  // another window. Again only when the start could not run or ended with an error.
  if (!ownProcess_ || !startTaken_ || launchStartFailed(launched())) launchApp();
  after(kAttemptInterval, [next = failedAttempts + 1](WorkspaceItemLayoutOperation& self) { self.attempt(next); });
}

void WorkspaceItemLayoutOperation::take(SIWindow window) {
  claims_->claim(window, bundleID_);
  // The process that showed its launch's window is the item's from now on, also after a restart.
  std::string own;
  if (!mark_.empty() && launchMarkOf(window.processIdentifier()) == mark_)
    if (const auto process = launchProcessOf(window.processIdentifier())) {
      own = *process;
      if (own != launchProcess_) {
        launchProcess_ = own;
        if (keepLaunchProcess_) keepLaunchProcess_(launchProcess_);
      }
    }
  ItemLaunches& launches = ItemLaunches::shared();
  launches.took(mark_, own);
  // Should it pass (a loading window), the launch's next window takes its place.
  if (!own.empty())
    launches.hold(mark_, window, [frame = frame_, space = space_, mark = mark_](const SIWindow& next) {
      placeLate(next, frame, space, mark);
    }, keepLaunchProcess_);
  if (place_) claims_->closePlace(*place_);
  LogManager::debugOptional(bundleIdentifierOfWindow(window));
  // Onto its desktop before it is brought forward: focusing it where it stood would show that desktop, which
  // the window then leaves.
  moveToItemDesktop(window, space_);
  after(kFocusDelay, [window](WorkspaceItemLayoutOperation& self) { self.bringForward(window); });
}

void WorkspaceItemLayoutOperation::moveToItemDesktop(SIWindow& window, int space) {
  // The wrapper counts desktops from 1; a negative saved desktop names none, so the window stays put.
  if (space >= 0) window.moveToSpace(space + 1);
}

void WorkspaceItemLayoutOperation::bringForward(SIWindow window) {
  // The restore ends on the desktop of the item it placed last, with that window.
  if (space_ >= 0 && shownDesktop() != space_) switchToDesktop(space_ + 1);
  window.focusWindow();
  after(kFrameDelay, [window](WorkspaceItemLayoutOperation& self) { self.place(window); });
}

void WorkspaceItemLayoutOperation::place(SIWindow window) {
  placeFrame(window, frame_, GaplessOrder::sizePositionSize);
  LayoutManager::shared().keepOnScreen(window);
  LogManager::debug("operation over");
  record(window, frame_, mark_);
  LogManager::debug("end operation");
  finish();
}

void WorkspaceItemLayoutOperation::placeLate(SIWindow window, const CGRect& frame, int space,
                                             const std::string& mark) {
  moveToItemDesktop(window, space);
  dispatch::MainQueue::asyncAfter(kFrameDelay, [window, frame, mark]() mutable {
    placeFrame(window, frame, GaplessOrder::sizePositionSize);
    LayoutManager::shared().keepOnScreen(window);
    record(window, frame, mark);
  });
}

void WorkspaceItemLayoutOperation::record(const SIWindow& window, const CGRect& frame, const std::string& mark) {
  const auto screen = window.screen();
  if (!screen) return;
  const auto display = CGSCopyBestManagedDisplayForRect(screen->frameIncludingDockAndMenu());
  if (!display) return;
  const CGRect visible = ScreenManager::shared().visibleFrame(*display);
  // The place of the target, not of the frame the gaps gave the window.
  const RecordedPlace placed = askedPlace(frame, visible);
  LayoutManager& layout = LayoutManager::shared();
  auto before = layout.recordStates(window);
  layout.saveLayout(window, placed, window.screen());
  ItemLaunches::shared().placed(mark, {window, std::move(before), placed});
}

void WorkspaceItemLayoutOperation::giveUp() {
  LogManager::warning("workspace item skipped: " + name() + " (" + (app_.empty() ? bundleID_ : app_) +
                      ") showed no window");
  claims_->skip(name());
  if (place_) claims_->closePlace(*place_);
  // Its window may still show (a program slow to start): it is the item's then, and later restores wait for it.
  if (ownProcess_ && startTaken_ && launchedAt_)
    ItemLaunches::shared().await(mark_, *launchedAt_, keepLaunchProcess_);
  VkHUD::shared().show(NSLocalizedString("CanNotOpen") + " " + name(), 3.0, VkHUDPosition::center,
                       VkHUDSize::medium, VkHUDStyle::dark, false);
  finish();
}

void WorkspaceItemLayoutOperation::after(double seconds, std::function<void(WorkspaceItemLayoutOperation&)> step) {
  std::weak_ptr<WorkspaceItemLayoutOperation> weak = weak_from_this();
  dispatch::MainQueue::asyncAfter(seconds, [weak, step = std::move(step)] {
    if (auto self = weak.lock()) step(*self);
  });
}

}  // namespace tilvane
