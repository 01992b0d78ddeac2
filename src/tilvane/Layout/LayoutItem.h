#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "AppManager/Geometry/Placement.h"
#include "Layout/LayoutOperation.h"
#include "Layout/WindowIndex/WindowIndexRegistry.h"
#include "Models/ModelsFwd.h"
#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// Binds one managed window to its remembered placement and builds the operation that lays it out. The layout
/// manager keeps one item per managed window while the window is managed. An item holds the window index its
/// record was claimed under and gives it back when the layout manager lets go of it (or, at the latest, when
/// the item goes). Main thread only.
class LayoutItem {
 public:
  explicit LayoutItem(SIWindow window);
  ~LayoutItem();
  LayoutItem(const LayoutItem&) = delete;
  LayoutItem& operator=(const LayoutItem&) = delete;

  /// The managed window, fixed at creation.
  const SIWindow& window() const { return window_; }
  /// The window's remembered placement; null when it has none.
  const AutoLayoutModelPtr& layoutModel() const { return layoutModel_; }
  void setLayoutModel(AutoLayoutModelPtr model) { layoutModel_ = std::move(model); }
  /// True while a move of the program is in flight: the window's own move notifications are then not recorded.
  bool isLayouting() const { return isLayouting_; }
  void setLayouting(bool layouting) { isLayouting_ = layouting; }

  /// The operation that lays the window out, not queued: the application rule's frame when it gives one,
  /// else the remembered frame (possibly none, and then the window stays where it is), or `waiting`, a place
  /// on the window's display its record is still to be given.
  std::shared_ptr<LayoutOperationType> makeLayoutOperation(const std::optional<RecordedPlace>& waiting = {}) const;

  /// Where the remembered placement puts the window now: its place on the visible frame of the display at
  /// its display index (the screen manager's fallback when there is none); absent without a record.
  std::optional<CGRect> savedFrame() const;

  /// Fills in the record's display index and desktop number where they are still unknown (negative) from where
  /// the window is now. Nothing changes when the record was deleted or the database cannot be written.
  void updateModelPosition();

  /// Holds `claim` (from claimWindowIndex) until releaseWindowIndexClaim or the end of the item.
  void holdWindowIndexClaim(std::optional<WindowIndexRegistry::Claim> claim);
  /// Gives the held window index back, once.
  void releaseWindowIndexClaim();

  /// The lowest window index that no managed window of the window's application holds.
  static std::int64_t registeredWindowIndexes(const SIWindow& window);
  /// Records `index` as held by a window of the window's application; absent when it has no bundle identifier.
  static std::optional<WindowIndexRegistry::Claim> claimWindowIndex(const SIWindow& window, std::int64_t index);
  /// Gives a claimed index back to the registry it was claimed in.
  static void releaseWindowIndex(const WindowIndexRegistry::Claim& claim);

 private:
  const SIWindow window_;
  AutoLayoutModelPtr layoutModel_;
  bool isLayouting_ = false;
  std::optional<WindowIndexRegistry::Claim> claim_;
};

}  // namespace tilvane
