#include "platform/desktop/x11/ScreenLayoutCache.h"

#include "platform/dispatch/MainQueue.h"

namespace tilvane::x11 {

const ScreenLayout& ScreenLayoutCache::get() {
  // Without a loop no event would ever drop it, so it is read afresh.
  if (!layout_ || dispatch::MainQueue::loop() == nullptr) layout_ = query_();
  return *layout_;
}

}  // namespace tilvane::x11
