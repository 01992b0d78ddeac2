#include "platform/desktop/x11/ScreenLayoutCache.h"

#include "platform/dispatch/MainQueue.h"

namespace tilvane::x11 {

ScreenLayout ScreenLayoutCache::get() {
  if (layout_) return *layout_;
  if (dispatch::MainQueue::loop() == nullptr) return query_();
  layout_ = query_();
  return *layout_;
}

}  // namespace tilvane::x11
