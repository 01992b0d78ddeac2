#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "WorkspaceLayout/Restore/WindowAssignment.h"
#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// The windows the items of one workspace restore have taken, and the places of the items that may still take
/// an open window, shared by that restore's item operations. Two items of one application are two windows: a
/// window one item took is never taken by another, and an item whose application has no window left for it
/// starts a new instance of it. The restore's end names the items that had to be skipped. Main thread only.
class WorkspaceRestoreClaims {
 public:
  /// The restore begins now (on the launcher's process clock).
  WorkspaceRestoreClaims();
  /// When the restore began: a process started since is none the restore found running.
  double began() const { return began_; }

  /// An item of the restore marks its launches with `mark`: a window carrying it is that item's or nobody's.
  void addMark(std::string mark);
  /// Whether `mark` is an item's of this restore.
  bool isMark(const std::string& mark) const;

  /// `window` belongs to the item of application `bundleID` from now on.
  void claim(const SIWindow& window, const std::string& bundleID);
  bool isClaimed(const SIWindow& window) const;
  /// Whether an item has taken a window of this application.
  bool hasClaimedWindowOf(const std::string& bundleID) const;
  /// Every window taken so far.
  std::vector<AXUIElement> windows() const;

  /// An item of application `bundleID` that takes an open window puts it at `place`; its number.
  std::size_t addPlace(std::string bundleID, const WindowSpot& place);
  /// The item of that place has its window, or was skipped.
  void closePlace(std::size_t number);
  /// The places of `bundleID` not closed yet, in the restore's order, with their numbers.
  std::vector<std::pair<std::size_t, WindowSpot>> openPlaces(const std::string& bundleID) const;

  /// The item named `name` got no window and was left out.
  void skip(std::string name) { skipped_.push_back(std::move(name)); }
  const std::vector<std::string>& skipped() const { return skipped_; }

 private:
  std::vector<std::pair<SIWindow, std::string>> claims_;
  struct Place {
    std::string bundleID;
    WindowSpot spot;
    bool open = true;
  };
  std::vector<Place> places_;
  std::vector<std::string> skipped_;
  std::vector<std::string> marks_;
  double began_ = 0;
};

}  // namespace tilvane
