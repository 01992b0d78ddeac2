#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Layout/LayoutManager.h"
#include "platform/desktop/SIWindow.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/rx/Disposable.h"

namespace tilvane {

/// Names process `pid` for as long as it runs, also across restarts of this program: "<pid> <start seconds>" on
/// the launcher's process clock; absent when its start is unknown.
std::optional<std::string> launchProcessOf(pid_t pid);

/// A placement a restore recorded for a window, and what the window's records held before it.
/// Merged with an earlier one of the same window: what they held before the first, and the last place.
struct RecordedPlacement {
  SIWindow window;
  std::vector<LayoutManager::RecordState> before;
  RecordedPlace placed;
  void mergeEarlier(const RecordedPlacement& earlier);
};

/// What the workspace restores of this run learned of each item's launches, by the item's launch mark, so that a
/// restore sees what every earlier one did when its item's turn comes, also one still running when it was asked
/// for, or one that gave the item up: the process that showed the item's own window, and a launch given up
/// before it showed one. That launch's first window is the item's whenever it shows (its process is kept with
/// the item then), and while a process of it runs a later restore waits for it rather than starting another.
///
/// The item's window taken from its launch may be a passing one (a "loading" window of another process that the
/// launch ends before it shows its main window): once it closed and its process ended, the next window the launch
/// shows is the item's instead, once. It is put at the item's place, its process kept, and the placement of the
/// passing window withdrawn, whenever that happens. Each launch runs in a session of its own, and a window passes
/// so only when its process did not lead its session (the launch itself, or a program that left it, is no loading
/// window of it). The launch's next window is one whose process, or an ancestor through processes carrying the
/// mark, was there before the passing window's (the script that execs the program, or runs it as its child), or,
/// its parent gone (the script that left it in the background ended), one that stayed in the launch's session or
/// leads a session of its own (`setsid -f`); never one that descends from the passing window's process, nor one
/// in another session (a terminal's shell and what the user starts from it). Main thread only.
class ItemLaunches {
 public:
  using Keep = std::function<void(const std::string& process)>;
  /// Puts `window` at the item's place and records it.
  using Place = std::function<void(const SIWindow& window)>;

  /// The one instance, made on first use; it follows the windows the layout manager admits and forgets.
  static ItemLaunches& shared();
  ItemLaunches();
  ~ItemLaunches();
  ItemLaunches(const ItemLaunches&) = delete;
  ItemLaunches& operator=(const ItemLaunches&) = delete;

  /// The process that showed the item's own window, as learned in this run; absent: nothing learned.
  std::optional<std::string> process(const std::string& mark) const;
  /// The item took a window: `process` showed it when it is of the item's own launch (empty: it is not). No
  /// launch of the item is awaited any more.
  void took(const std::string& mark, const std::string& process);
  /// `window`, of the item's own launch, is the item's: should it pass (see the class), `place` puts the
  /// launch's next window in its stead and `keep` stores its process. Held again (a later restore took it), it
  /// keeps what its earlier placements withdraw to.
  void hold(const std::string& mark, const SIWindow& window, Place place, Keep keep);
  /// The item starts a process of its own: the window of an earlier launch hands over to nothing any more.
  void launching(const std::string& mark) { held_.erase(mark); }
  /// `placement` was recorded for the item: withdrawn when its window closes before the queued restores end (one
  /// runs now), or when it passes for the item's, back to what the window's records held before the first
  /// placement a restore made of it.
  void placed(const std::string& mark, RecordedPlacement placement);
  /// The queued restores have ended: a window placed by them that closes from now on keeps its placement.
  void restoresEnded() { placedInRestore_.clear(); }
  /// The item's launch made at `since` (process clock) was given up before a window of it showed: the first
  /// window that a process carrying `mark` and started since then shows is the item's, and `keep` stores its
  /// process.
  void await(const std::string& mark, double since, Keep keep);
  /// When the launch awaited for the item was made; absent: none is.
  std::optional<double> awaitedSince(const std::string& mark) const;
  /// The launch awaited for the item can no longer show a window.
  void forget(const std::string& mark) { awaited_.erase(mark); }

  /// A window appeared: the item's when it is the first of a launch awaited for it, or the next of the launch
  /// whose window passed.
  void windowShown(const SIWindow& window);
  /// A window went.
  void windowGone(const SIWindow& window);

 private:
  struct Awaited {
    double since = 0;
    Keep keep;
  };
  /// The item's window from its own launch.
  struct Held {
    SIWindow window;
    pid_t pid = 0;
    std::string process;
    double started = 0;
    /// The session the window's process is in, when it does not lead it: the launch's.
    std::optional<pid_t> session;
    bool closed = false;
    /// When it closed (main-loop clock).
    double closedAt = 0;
    /// It took the place of a passing window: the launch hands over no further.
    bool handedOn = false;
    std::optional<RecordedPlacement> placement;
    Place place;
    Keep keep;
  };
  /// Whether the window of process `pid`, carrying `mark`, is the next of the launch whose window `held` passed.
  static bool nextOfLaunch(const Held& held, pid_t pid, const std::string& mark);
  void handOn(Held& held, const SIWindow& window, const std::string& mark);
  /// Whether the process of `held`'s window still runs.
  static bool stillRuns(const Held& held, const std::string& mark);
  /// `held` of the item `mark` passed: hands over to an open window of its launch (one may have shown before the
  /// close was known). While the passing window's process still runs, looks again a little later, for a while.
  void lookForNext(const std::string& mark);
  void lookAgainLater();
  /// Whether `held` passed and waits for the next window of its launch.
  static bool passed(const Held& held) { return held.closed && !held.handedOn && held.session; }

  std::map<std::string, std::string> processes_;
  std::map<std::string, Awaited> awaited_;
  std::map<std::string, Held> held_;
  std::vector<RecordedPlacement> placedInRestore_;
  dispatch::ScopedTimer lookAgain_;
  rx::DisposeBag subscriptions_;
};

}  // namespace tilvane
