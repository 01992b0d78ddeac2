#include "Layout/LayoutItem.h"

#include <limits>

#include "AppManager/Screens/ScreenManager.h"
#include "Layout/LayoutManager.h"
#include "Layout/StoreWrite.h"
#include "Models/AutoLayoutModel.h"

namespace tilvane {
namespace {
// A stored index as a display index; one outside the int range names no display.
int displayIndex(std::int64_t stored) {
  if (stored < std::numeric_limits<int>::min() || stored > std::numeric_limits<int>::max()) return -1;
  return static_cast<int>(stored);
}
}  // namespace

LayoutItem::LayoutItem(SIWindow window) : window_(std::move(window)) {}

LayoutItem::~LayoutItem() { releaseWindowIndexClaim(); }

std::shared_ptr<LayoutOperationType> LayoutItem::makeLayoutOperation(
    const std::optional<RecordedPlace>& waiting) const {
  if (const auto ruleFrame = LayoutManager::shared().ruleLayout(window_))
    return std::make_shared<RuleLayoutOperation>(window_, ruleFrame);
  const auto screen = waiting ? window_.screen() : std::nullopt;
  return std::make_shared<AutoLayoutOperation>(
      window_, screen ? std::optional(askedFrame(*waiting, screen->visibleFrame)) : savedFrame());
}

std::optional<CGRect> LayoutItem::savedFrame() const {
  if (!layoutModel_) return std::nullopt;
  const CGRect display = ScreenManager::shared().screenFrameAtIndex(displayIndex(layoutModel_->screenIndex()));
  return askedFrame(recordedPlaceOf(*layoutModel_), display);
}

void LayoutItem::updateModelPosition() {
  if (!isWritable(layoutModel_)) return;
  // Most records know both already; a write for nothing would cost every admission a transaction.
  if (layoutModel_->screenIndex() >= 0 && layoutModel_->spaceIndex() >= 0) return;
  const auto fill = [&] {
    const auto screen = window_.screen();
    if (layoutModel_->screenIndex() < 0) layoutModel_->setScreenIndex(ScreenManager::shared().screenIndex(screen));
    if (layoutModel_->spaceIndex() < 0)
      layoutModel_->setSpaceIndex(ScreenManager::shared().spaceIndexOfWindow(window_, screen));
  };
  // A record not stored yet changes in memory alone.
  if (layoutModel_->isManaged())
    writeTransaction(fill);
  else
    fill();
}

void LayoutItem::holdWindowIndexClaim(std::optional<WindowIndexRegistry::Claim> claim) {
  releaseWindowIndexClaim();
  claim_ = std::move(claim);
}

void LayoutItem::releaseWindowIndexClaim() {
  if (claim_) releaseWindowIndex(*claim_);
  claim_.reset();
}

std::int64_t LayoutItem::registeredWindowIndexes(const SIWindow& window) {
  return WindowIndexRegistry::registeredWindowIndexes(window);
}

std::optional<WindowIndexRegistry::Claim> LayoutItem::claimWindowIndex(const SIWindow& window, std::int64_t index) {
  return WindowIndexRegistry::claimWindowIndex(window, index);
}

void LayoutItem::releaseWindowIndex(const WindowIndexRegistry::Claim& claim) {
  WindowIndexRegistry::releaseWindowIndex(claim);
}

}  // namespace tilvane
