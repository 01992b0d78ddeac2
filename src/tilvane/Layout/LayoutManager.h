#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "AppManager/Geometry/Placement.h"
#include "AppManager/Settings/LayoutAllTarget.h"
#include "Layout/GroupedCommit.h"
#include "Layout/LayoutItem.h"
#include "Models/ModelsFwd.h"
#include "platform/desktop/Geometry.h"
#include "platform/desktop/SIWindow.h"
#include "platform/dispatch/MainLoop.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/rx/Disposable.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {

struct AppDescriptor;
class WorkspaceItemLayoutOperation;
class WorkspaceRestoreClaims;

/// The one place that knows every managed window and decides when one is moved automatically. The window
/// manager hands it each new layoutable window and tells it when one goes; it wraps each in a LayoutItem bound
/// to the window's remembered placement and, with automatic layout on, queues the item's layout operation on
/// its serial layout queue. It remembers where the program puts windows at once (saveLayout) and where the
/// user puts them once each window has been quiet for 2.0 s, or 5.0 s after its first move at the latest
/// (queueFrameUpdate), with a history record for each. Writes that find the file locked by another program
/// stay queued and are tried again every second; the user hears once when remembering has been held up for
/// 5 s, and once when it goes on.
///
/// It is the settings' layout-all target while it lives. Main thread only.
class LayoutManager final : public LayoutAllTarget {
 public:
  /// A recorded frame change waiting to be written: the item and the window's new place.
  struct PendingUpdate {
    std::shared_ptr<LayoutItem> layoutItem;
    RecordedPlace frame;
    /// The display a placement named (a move is written on the display the window stands on then).
    std::optional<NSScreen> screen;
    /// A placement that could not be written at once (the file was locked), not a move.
    bool fromPlacement = false;
    /// The record was never stored (its first write found the file locked): written as a new record.
    bool needsInsert = false;
    /// When the entry was first queued and when the window last moved (main-loop clock).
    double queuedAt = 0;
    double movedAt = 0;
  };

  /// The one instance, made on first use.
  static LayoutManager& shared();

  LayoutManager();
  ~LayoutManager() override;
  LayoutManager(const LayoutManager&) = delete;
  LayoutManager& operator=(const LayoutManager&) = delete;

  // --- state ---

  rx::DisposeBag& disposeBag() { return disposeBag_; }
  /// One item per managed window, in order of admission.
  const std::vector<std::shared_ptr<LayoutItem>>& layoutItems() const { return layoutItems_; }
  /// Drops every item (their window indexes go back to the registry they were claimed in).
  void removeAllLayoutItems();
  /// The serial queue of layout operations.
  dispatch::OperationQueue& layoutOperationQueue() { return layoutOperationQueue_; }
  /// The serial queue of workspace restore steps.
  dispatch::OperationQueue& workspaceOperationQueue() { return workspaceOperationQueue_; }
  /// Application rules by bundle identifier.
  std::map<std::string, RuleLayoutModelPtr>& rules() { return rules_; }
  /// True while a workspace restore runs: new windows are then admitted and recorded but not moved.
  bool workspaceRunning() const { return workspaceRunning_; }
  void setWorkspaceRunning(bool running) { workspaceRunning_ = running; }
  /// Frame changes waiting to be written, by record id.
  const std::map<std::string, PendingUpdate>& updateQueue() const { return updateQueue_; }
  /// Fires after each change to updateQueue().
  const rx::PublishSubject<rx::Unit>& updateQueueRun() const { return updateQueueRun_; }
  /// The arranged custom-layout cycle: next cell, and the window it belongs to.
  std::int64_t customLayoutArrangedIndex = 0;
  std::uint32_t customLayoutArrangedID = 0;

  // --- start-up ---

  /// Loads every stored application rule into rules().
  void setup();
  /// Subscriptions: the recorded frame changes are written once their window has been quiet (see the class).
  void bind();

  // --- windows ---

  /// Admits a new layoutable window: an item bound to its remembered placement (whose window index it claims
  /// and whose display and desktop it fills in), laid out at once when automatic layout is on; a new record is
  /// stored either way.
  void addWindow(const SIWindow& window);
  /// addWindow for a window the caller has just found layoutable (isLayoutableWindow), not asked again, with
  /// its application's bundle identifier.
  void addLayoutableWindow(const SIWindow& window, const std::string& bundleIdentifier);
  /// Fires with each window addLayoutableWindow admitted, once it has been handled.
  const rx::PublishSubject<SIWindow>& windowAdmitted() const { return windowAdmitted_; }
  /// Forgets every item of the window.
  void removeWindow(const SIWindow& window);
  /// Fires with each window removeWindow forgot.
  const rx::PublishSubject<SIWindow>& windowRemoved() const { return windowRemoved_; }
  /// Lays one item out: queues its operation (nothing during a workspace restore) and stores its record when
  /// new: at once during a restore, else with the turn's other new records (see storeNewRecords). The item is
  /// marked layouting only until its operation has placed the window: from then on the placement's own reports
  /// are told by frame (PlacedFrames), and any other is recorded, however soon it comes.
  void layout(const std::shared_ptr<LayoutItem>& item);
  /// Lays every item out again, in order.
  void layoutAll() override;
  /// The remembered place of the first item holding the window (a move of it still waiting to be written
  /// is written first); absent when it has no record.
  std::optional<RecordedPlace> savedFrame(const SIWindow& window);

  /// The frame the window's application rule gives, in the window space; absent when it has none. A fixed or
  /// arranged rule also saves the placement.
  std::optional<CGRect> ruleLayout(const SIWindow& window);

  // --- rule editor and custom layouts (defined in Layout/Rules and Layout/CustomLayout) ---

  /// Follows the rule editor's buses: an application shown in the editor is answered on detailRule with the
  /// rule in force for it (none when the table has none); a saved rule goes to updateRule. Called once at
  /// start-up, after bind().
  void bindRules();
  /// Applies a rule saved in the editor: no rule or an auto rule leaves the table, any other is stored under its
  /// id; then the application's windows are laid out again.
  void updateRule(const AppDescriptor& app, const RuleLayoutModelPtr& rule);
  /// Lays out again every item whose remembered placement belongs to the application; items without one are
  /// left alone.
  void relayoutApplication(const std::string& bundleIdentifier);
  /// Applies a custom layout to the focused window when it may be laid out and lies on a display: a fixed
  /// layout gives the rectangle of its selected cells (nothing when none is selected), an arranged one the next
  /// cell of the cycle (restarted when the focused window changed). Decided on what the desktop knows already
  /// (no round trip to the window server), the move goes out at once, in one frame request, unless layout
  /// operations are still queued (it then queues behind them); the placement is saved after it.
  void applyCustomLayout(const CustomLayoutModel& layout);

  /// Pulls the window back inside its display's visible frame at the right and bottom edges (8 points inside
  /// with gaps); the left and top edges are left alone.
  void keepOnScreen(const std::optional<SIWindow>& window);

  // --- recording ---

  /// The program placed the window at fractions `r` of its display's visible frame: every item of it is marked
  /// layouting, its record gets the fractions, display and desktop at once, and a history record follows 0.5 s
  /// later.
  void saveLayout(const SIWindow& window, const CGRect& r);
  /// The same for a remembered place.
  void saveLayout(const SIWindow& window, const RecordedPlace& place, const std::optional<NSScreen>& screen);
  /// The same, for a window just placed on `screen`: the record names that display even when the desktop
  /// applies moves later than it answers the request (X11), so the window may still stand on the old one.
  void saveLayout(const SIWindow& window, const CGRect& r, const std::optional<NSScreen>& screen);
  /// A record of a window as it stood: put back by withdrawPlacement.
  struct RecordState {
    AutoLayoutModelPtr model;
    RecordedPlace place;
    std::int64_t screenIndex = 0;
    std::int64_t spaceIndex = 0;
  };
  /// The window's records as they stand now (before a placement that may not count).
  std::vector<RecordState> recordStates(const SIWindow& window) const;
  /// A placement at `placed` turned out not to count (its window went at once): each record goes back to what
  /// `before` held, unless the user moved the window since (its record holds another place by now, or the move
  /// waits to be written).
  void withdrawPlacement(const std::vector<RecordState>& before, const RecordedPlace& placed);
  /// The window moved or was resized: unless it is being laid out, its new fractions are queued for writing.
  void queueFrameUpdate(const SIWindow& window);
  /// Writes every queued frame change in one transaction, then a history record of each. An entry leaves the
  /// queue only once written; while the file is locked the entries stay (later moves of a window replace its
  /// entry) and a retry follows 1.0 s later.
  void flushUpdateQueue();
  /// Seconds a window's moves must be quiet before they are written, and the longest an entry waits.
  static constexpr double kQuietPeriod = 2.0;
  static constexpr double kLongestWait = 5.0;
  /// Retries of writes held up by another program's lock, and how long before the user is told.
  static constexpr double kRetryInterval = 1.0;
  static constexpr double kPauseNotice = 5.0;
  /// History records kept; older ones go first.
  static constexpr std::size_t kHistoryLimit = 5000;
  /// Clears the item's mark and writes a history record of its placement.
  void recordWindowMoving(const std::shared_ptr<LayoutItem>& item, const SIWindow& window);
  /// Writes and commits at once what is still waiting: new records, queued frame changes, history records not
  /// yet due and writes whose shared commit is still queued. Called when the program quits, so nothing the user
  /// did is lost.
  void flushPendingUpdates();
  /// Stores the new records of the items laid out since the last call, in one write (the turn's own, soon
  /// after the items are laid out); those the file's lock kept out are queued for the next write.
  void storeNewRecords();

  // --- workspaces (defined in WorkspaceLayout/Restore, library tilvane_workspace_restore) ---

  /// Restores a saved workspace; returns at once. Queues on the workspace queue, held while they are added:
  /// the message "StartLayoutSpaces" and a 1 s pause, a visit of the desktops not seen yet, one switch to the
  /// first item's desktop (for an empty workspace or a negative desktop, back to the desktop the user was on),
  /// one WorkspaceItemLayoutOperation per item in order, and finishWorkspace, after going back to the user's
  /// desktop when no item placed a window. workspaceRunning() is true from now until this restore's own last
  /// step (a restore queued behind it keeps it true until its own end).
  void layoutWorkspace(const WorkspaceLayoutGroupModel& group);
  /// The operation restoring one item: its fractions on the display that holds its desktop (each display with
  /// its own desktops) or on the display at its display index (shared desktops). `claims`: the windows the
  /// restore's items share (null: the item on its own).
  std::shared_ptr<WorkspaceItemLayoutOperation> makeWorkspaceItemOperation(
      const WorkspaceLayoutItemModel& item, std::shared_ptr<WorkspaceRestoreClaims> claims = nullptr) const;
  /// Shows every desktop not seen yet, in ascending order, one a second (Control + its digit; desktops past the
  /// tenth have no key but take their second), then calls `completion`; with none to show, 0.5 s later.
  static void visitSpaces(std::function<void()> completion);
  /// visitSpaces as a queue step, for the snapshot's own queue.
  static std::shared_ptr<dispatch::Operation> makeVisitSpacesOperation();
  /// The first step: the message "StartLayoutSpaces", then `completion` 1 s later.
  void announceWorkspaceStart(std::function<void()> completion);
  /// The last step: this restore no longer holds workspaceRunning(), and the message "LayoutComplete", followed
  /// by the names of the `skipped` items when there are any.
  void finishWorkspace(const std::vector<std::string>& skipped = {});
  /// Shows the localised text of `key` on the message window: centred, medium, dark, no border, for 3.0 s.
  static void showHUD(const std::string& key);
  /// One new (unstored) workspace item per layout item with a remembered placement, in admission order: its
  /// bundle identifier, display index, desktop and fractions, the current display identifier, the number of
  /// displays (at least 1) and of desktops.
  std::vector<WorkspaceLayoutItemModelPtr> snapshotWorkspace() const;

 private:
  struct PendingRecord {
    std::shared_ptr<LayoutItem> item;
    SIWindow window;
  };

  /// Writes a history record of the item's placement on the window's display (kept for later while the file is
  /// locked).
  void writeHistoryRecord(const LayoutItem& item, const SIWindow& window);
  /// The same record, kept for the next writeHistoryBacklog.
  void queueHistoryRecord(const LayoutItem& item, const SIWindow& window);
  /// Writes the history records held back by a lock, then trims the history; false when still locked.
  bool writeHistoryBacklog();
  /// Sets the timers of the entries moved since the last call.
  void scheduleFlush();
  /// Tries the held-up writes again kRetryInterval from now (unless a try is due already).
  void retryLater();
  /// A write found the file locked / went through: the pause notices.
  void writesHeldUp();
  void writesGoOn();
  /// A change of `item`'s record still waiting to be written is the window's latest place: written now, before
  /// a placement by the record reads it. Its place when it still waits (the file is locked).
  std::optional<RecordedPlace> takeLatestPlace(const LayoutItem& item);
  /// Drops the queued move of `item`'s record: the window stands where a placement or its record puts it.
  void dropEcho(const LayoutItem& item);
  /// The item's record could not be stored (the file was locked): stored with the queue's next write.
  void queueInsert(const std::shared_ptr<LayoutItem>& item);
  /// The item's new record is stored with the other new records of this turn, in one write.
  void storeSoon(const std::shared_ptr<LayoutItem>& item);

  rx::DisposeBag disposeBag_;
  std::vector<std::shared_ptr<LayoutItem>> layoutItems_;
  /// The same items by window, in the same order: every move report and placement asks for one window's.
  std::unordered_map<AXUIElement, std::vector<std::shared_ptr<LayoutItem>>> itemsByWindow_;
  /// The window's items (usually one); held apart from the lists, which may change while they are used.
  std::vector<std::shared_ptr<LayoutItem>> itemsOf(const SIWindow& window) const;
  dispatch::OperationQueue layoutOperationQueue_{"layout"};
  /// The writes of a turn share one commit, behind the moves queued before them.
  GroupedCommit commits_{layoutOperationQueue_, [this] { storeNewRecords(); }};
  std::map<std::string, RuleLayoutModelPtr> rules_;
  dispatch::OperationQueue workspaceOperationQueue_{"workspace"};
  bool workspaceRunning_ = false;
  std::map<std::string, PendingUpdate> updateQueue_;
  rx::PublishSubject<rx::Unit> updateQueueRun_;
  rx::PublishSubject<SIWindow> windowAdmitted_;
  rx::PublishSubject<SIWindow> windowRemoved_;
  /// Ids of the entries moved since scheduleFlush last ran.
  std::vector<std::string> movedEntries_;
  /// History records due 0.5 s after a saved placement, by the task that writes them.
  std::map<dispatch::TaskId, PendingRecord> pendingRecords_;
  /// Each entry's timers: quiet since the window's last move, and the longest wait since its first.
  struct EntryTimers {
    dispatch::ScopedTimer quiet, longest;
    double quietFrom = -1;
  };
  std::map<std::string, EntryTimers> entryTimers_;
  /// Retries a write held up by a lock.
  dispatch::ScopedTimer flushTimer_;
  /// New records waiting for the turn's one write, with the record each item had then.
  std::vector<std::pair<std::shared_ptr<LayoutItem>, AutoLayoutModelPtr>> newRecords_;
  dispatch::ScopedTimer newRecordsTimer_;
  /// History records that found the file locked, oldest first (bounded).
  std::vector<std::shared_ptr<store::Object>> historyBacklog_;
  /// Since when writes have been held up by a lock (negative: they are not), and whether the user was told.
  double heldUpSince_ = -1;
  bool heldUpTold_ = false;
  LayoutAllTarget::Scope layoutAllScope_{*this};
  /// Workspace restores requested and not yet at their last step.
  int workspaceRestores_ = 0;
};

}  // namespace tilvane
