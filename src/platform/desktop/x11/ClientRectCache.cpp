#include "platform/desktop/x11/ClientRectCache.h"

#include "platform/desktop/x11/Ewmh.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane::x11 {

ClientRectCache::ClientRectCache(const XConnection& x) : x_(x), self_(std::make_shared<ClientRectCache*>(this)) {}

ClientRectCache::~ClientRectCache() = default;

std::optional<PixelRect> ClientRectCache::get(xcb_window_t window) {
  if (const auto it = rects_.find(window); it != rects_.end()) return it->second;
  return refresh(window);
}

std::optional<PixelRect> ClientRectCache::refresh(xcb_window_t window) { return keep(window, queryClientRect(x_, window)); }

std::optional<PixelRect> ClientRectCache::keep(xcb_window_t window, std::optional<PixelRect> rect) {
  if (dispatch::MainQueue::loop() == nullptr) return rect;
  rects_[window] = rect;
  if (!dropScheduled_) {
    dropScheduled_ = true;
    std::weak_ptr<ClientRectCache*> weak = self_;
    dispatch::MainQueue::async([weak] {
      if (auto self = weak.lock()) {
        (*self)->dropScheduled_ = false;
        (*self)->rects_.clear();
      }
    });
  }
  return rect;
}

}  // namespace tilvane::x11
