#include "AppManager/WindowActions/PlaceFrame.h"

#include "AppManager/Settings/UserDefaultsService.h"

namespace tilvane {
namespace {
constexpr double kGap = 8;
}  // namespace

void placeFrame(SIWindow& window, const CGRect& frame) {
  if (!UserDefaultsService::gutterEnabled()) {
    window.setFrame(frame);
    return;
  }
  const CGSize size{frame.size.width - 2 * kGap, frame.size.height - 2 * kGap};
  window.setSize(size);
  window.setPosition(CGPoint{frame.origin.x + kGap, frame.origin.y + kGap});
  window.setSize(size);
}

}  // namespace tilvane
