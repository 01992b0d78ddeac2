#include "platform/desktop/x11/ScreenLayoutCache.h"

#include "platform/dispatch/MainQueue.h"

namespace tilvane::x11 {

ScreenLayoutCache::ScreenLayoutCache(std::function<ScreenLayout()> query)
    : query_(std::move(query)), self_(std::make_shared<ScreenLayoutCache*>(this)) {}

ScreenLayoutCache::~ScreenLayoutCache() = default;

ScreenLayout ScreenLayoutCache::get() {
  if (layout_) return *layout_;
  if (dispatch::MainQueue::loop() == nullptr) return query_();
  layout_ = query_();
  if (!dropScheduled_) {
    dropScheduled_ = true;
    std::weak_ptr<ScreenLayoutCache*> weak = self_;
    dispatch::MainQueue::async([weak] {
      if (auto self = weak.lock()) {
        (*self)->dropScheduled_ = false;
        (*self)->layout_.reset();
      }
    });
  }
  return *layout_;
}

}  // namespace tilvane::x11
