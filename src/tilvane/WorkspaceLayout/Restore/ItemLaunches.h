#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/desktop/SIWindow.h"
#include "platform/rx/Disposable.h"

namespace tilvane {

/// Names process `pid` for as long as it runs, also across restarts of this program: "<pid> <start seconds>" on
/// the launcher's process clock; absent when its start is unknown.
std::optional<std::string> launchProcessOf(pid_t pid);

/// What the workspace restores of this run learned of each item's launches, by the item's launch mark, so that a
/// restore sees what every earlier one did when its item's turn comes, also one still running when it was asked
/// for, or one that gave the item up: the process that showed the item's own window, and a launch given up
/// before it showed one. That launch's first window is the item's whenever it shows (its process is kept with
/// the item then), and while a process of it runs a later restore waits for it rather than starting another.
/// Main thread only.
class ItemLaunches {
 public:
  using Keep = std::function<void(const std::string& process)>;

  /// The one instance, made on first use; it follows the windows the layout manager admits.
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
  /// The item's launch made at `since` (process clock) was given up before a window of it showed: the first
  /// window that a process carrying `mark` and started since then shows is the item's, and `keep` stores its
  /// process.
  void await(const std::string& mark, double since, Keep keep);
  /// When the launch awaited for the item was made; absent: none is.
  std::optional<double> awaitedSince(const std::string& mark) const;
  /// The launch awaited for the item can no longer show a window.
  void forget(const std::string& mark) { awaited_.erase(mark); }

  /// A window appeared: the item's when it is the first of a launch awaited for it.
  void windowShown(const SIWindow& window);

 private:
  struct Awaited {
    double since = 0;
    Keep keep;
  };
  std::map<std::string, std::string> processes_;
  std::map<std::string, Awaited> awaited_;
  rx::DisposeBag subscriptions_;
};

}  // namespace tilvane
