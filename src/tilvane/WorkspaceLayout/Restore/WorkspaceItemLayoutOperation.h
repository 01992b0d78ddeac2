#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "WorkspaceLayout/Restore/WorkspaceRestoreClaims.h"
#include "platform/desktop/Geometry.h"
#include "platform/desktop/Launcher.h"
#include "platform/desktop/SIWindow.h"
#include "platform/dispatch/OperationQueue.h"

namespace tilvane {

/// Restores one window of a saved workspace: launches or opens its application, waits for a window of it,
/// moves it to the saved desktop, shows that desktop and focuses the window 0.3 s later, and gives it the saved
/// frame 1.0 s after that, then records the placement. It finishes only when the window has its frame (or it gave up), so the workspace
/// queue starts the next item after this one is done.
///
/// An item takes the open window of its own launch (in this restore, an earlier one, or before a restart). One
/// without parameters else takes one of the open windows of its application no other item of the restore took,
/// served to the restore's items of that application still waiting (assignWindows), so a window standing at an
/// item's frame stays with that item and the others go to the nearest item. The item brings its window forward
/// in place of a launch, and starts nothing. Otherwise it starts a process of its own and takes only a window
/// that was not open at that launch: one of that launch, else the focused one, else the one created last, else
/// the first listed. The wait is a poll once a second; the
/// program is started once per restore, and again only when that start could not run or ended with an error;
/// the sixth attempt without a window gives up with the message "CanNotOpen" and the item's name, and nothing is
/// moved.
///
/// A window is the item's when it is of its own launch: its process carries the item's launch mark (its start and
/// everything that start ran inherit it, however they part from it) and is the process that showed the window the
/// item took from a launch (kept with the item, so it holds across restarts), or one started by this restore's
/// launch. That process is read when the item's turn comes (ItemLaunches: what the earlier restores of this run
/// learned, also one still running when this one was asked for), and a launch an earlier restore gave up while a
/// process of it still runs is waited for as this item's own, with no start of its own. A program started from
/// the item's window carries the mark too, and is never the item's. The mark is
/// looked at first: a window carrying the mark of an item of the restore and not of its own launch is taken by no
/// item. Else a window is the item's by its application's identifier; a window known only by running the program
/// a launch of the item runs serves only when its process ran before the restore began (a program that hands a
/// launch to its running instance) and was no other application when the item started.
///
/// Every step runs on the main loop; the waits are timers, never a blocked thread. Made with std::make_shared.
class WorkspaceItemLayoutOperation final : public dispatch::Operation,
                                           public std::enable_shared_from_this<WorkspaceItemLayoutOperation> {
 public:
  /// Attempts without a window after the first before giving up.
  static constexpr int kMaxRelaunches = 5;
  /// Seconds between attempts; from the desktop move to the focus; from the focus to the frame.
  static constexpr double kAttemptInterval = 1.0;
  static constexpr double kFocusDelay = 0.3;
  static constexpr double kFrameDelay = 1.0;

  /// `frame`: the target in the window space; `space`: the saved desktop number (a negative one leaves the
  /// window on its desktop); `app`: the application path (may be empty); `file`: the parameters, a text split
  /// at each blank into arguments (may be empty); `claims`: the windows of the restore this item belongs to
  /// (null: an item on its own).
  WorkspaceItemLayoutOperation(const CGRect& frame, int space, std::string bundleID, std::string app,
                               std::string file, std::shared_ptr<WorkspaceRestoreClaims> claims = nullptr);
  /// Logs "deinit workspace operation".
  ~WorkspaceItemLayoutOperation() override;

  const CGRect& frame() const { return frame_; }
  int space() const { return space_; }
  const std::string& bundleID() const { return bundleID_; }
  /// What the user knows the item's application as, in the messages (default: its bundle identifier).
  void setName(std::string name) { name_ = std::move(name); }
  const std::string& name() const { return name_.empty() ? bundleID_ : name_; }
  /// What the item's launches carry, so their windows are known as its own, also by a later restore: something
  /// stable that names the item (empty: nothing).
  void setMark(std::string mark);
  /// The process that showed the window of the item's own launch (launchProcess of the item; empty: none known),
  /// and where to keep the one a launch gives from now on.
  void setLaunchProcess(std::string process, std::function<void(const std::string&)> keep);
  const std::string& launchProcess() const { return launchProcess_; }
  const std::string& app() const { return app_; }
  const std::string& file() const { return file_; }

  /// Starts the application carrying the item's mark, not waiting for it: with parameters through the open tool
  /// ("-a" and the path, or
  /// "-b" and the bundle identifier, then each parameter word; "-n" for a new instance when an earlier item of
  /// the restore took a window of the application); without them, an open window left for the item is brought
  /// forward, else the application is started through the shared workspace (by path, else by bundle identifier;
  /// a new instance when it has windows, all of them other items').
  void launchApp();

  /// `file` split at each blank; two blanks in a row give an empty word; nothing for an empty text.
  static std::vector<std::string> parameterWords(std::string_view file);

 protected:
  void main() override;

 private:
  void attempt(int failedAttempts);
  /// An earlier restore gave the item up while a process of its launch still runs and no window is open for it:
  /// this item waits for that launch's window as for its own, and starts nothing. False: it launches.
  bool awaitEarlierLaunch();
  /// What launchApp names, without its parameters.
  LaunchRequest request() const;
  /// What launchApp starts, with its parameters and mark.
  LaunchRequest launched() const;
  /// Those of `windows` of the item's own launch: carrying its mark, of launchProcess_ or of a process started
  /// since this restore's launch; when no process is known, of the one among them that started first.
  std::vector<SIWindow> ownLaunch(const std::vector<SIWindow>& windows) const;
  /// Whether `window`, whose application has the identifier `bundle` and which is not of the item's own launch,
  /// is the item's by that identifier or its program file (see the class): never when it carries a mark of the
  /// restore's items (unless `othersToo`), nor of a process in others_. `named`: something runs under the item's
  /// identifier, so the program file tells nothing.
  bool belongs(const SIWindow& window, const std::optional<std::string>& bundle, bool named, bool othersToo) const;
  /// The windows a launch that brings the application forward passes over: those earlier items took, those of
  /// others_ and those carrying a mark of the restore's items not of this item's own launch.
  std::vector<AXUIElement> passOver() const;
  /// The document windows of the item's application that no item of the restore took, in the window server's
  /// order; with `claimed`, also those taken or kept for another item.
  std::vector<SIWindow> windowsOfItem(bool claimed = false) const;
  /// The open window the restore's serving of its items gives this item, if any.
  std::optional<SIWindow> openWindow() const;
  /// A window of the item's that was not open when it launched its process: the focused, else the last created,
  /// else the first listed.
  std::optional<SIWindow> newWindow() const;
  void take(SIWindow window);
  /// Shows the item's desktop and focuses the window there.
  void bringForward(SIWindow window);
  void place(SIWindow window);
  static void moveToItemDesktop(SIWindow& window, int space);
  /// A window of the item's launch that took the place of a passing one: to its desktop, and its frame 1.0 s later.
  static void placeLate(SIWindow window, const CGRect& frame, int space, const std::string& mark);
  /// Records that `window` was put at `frame`, for the item of `mark`.
  static void record(const SIWindow& window, const CGRect& frame, const std::string& mark);
  void giveUp();
  /// Runs `step` on this operation `seconds` from now, unless the operation is gone by then.
  void after(double seconds, std::function<void(WorkspaceItemLayoutOperation&)> step);

  const CGRect frame_;
  const int space_;
  const std::string bundleID_;
  std::string name_;
  const std::string app_;
  const std::string file_;
  const std::shared_ptr<WorkspaceRestoreClaims> claims_;
  /// The program file a launch of the item runs, found when the operation starts.
  std::optional<std::string> program_;
  /// The processes that ran program_ as other applications when the operation started.
  std::vector<pid_t> others_;
  /// The item's place among the restore's items that take open windows (items without parameters).
  std::optional<std::size_t> place_;
  std::string mark_;
  std::string launchProcess_;
  std::function<void(const std::string&)> keepLaunchProcess_;
  /// When this restore's launch started a process (the launcher's process clock).
  std::optional<double> launchedAt_;
  /// The item has launched a process of its own, and every window open at that launch.
  bool ownProcess_ = false;
  /// The last start was not refused at once.
  bool startTaken_ = false;
  std::vector<AXUIElement> before_;
};

}  // namespace tilvane
