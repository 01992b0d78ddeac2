#include "platform/desktop/x11/EventPump.h"

#include "platform/dispatch/MainQueue.h"

namespace tilvane::x11 {

EventPump::EventPump(XConnection& x, EventHandler onEvent, std::function<void()> onBatchEnd,
                     std::function<void()> onLost)
    : x_(x),
      onEvent_(std::move(onEvent)),
      onBatchEnd_(std::move(onBatchEnd)),
      onLost_(std::move(onLost)),
      self_(std::make_shared<EventPump*>(this)) {
  loop_ = dispatch::MainQueue::loop();
  if (loop_) {
    std::weak_ptr<EventPump*> weak = self_;
    watch_ = loop_->watchFd(x_.fileDescriptor(), [weak] {
      if (auto self = weak.lock()) (*self)->pump();
    });
  }
  x_.setOnReplies([this] { schedulePass(); });
}

EventPump::~EventPump() {
  x_.setOnReplies(nullptr);
  if (watch_ != 0) loop_->unwatchFd(watch_);
}

void EventPump::schedulePass() {
  if (passScheduled_ || lost_) return;
  passScheduled_ = true;
  std::weak_ptr<EventPump*> weak = self_;
  dispatch::MainQueue::async([weak] {
    if (auto self = weak.lock()) {
      (*self)->passScheduled_ = false;
      (*self)->pump();
    }
  });
}

void EventPump::pump() {
  if (lost_ || pumping_) return;
  pumping_ = true;
  int handled = 0;
  while (handled < kBatch) {
    xcb_generic_event_t* event = xcb_poll_for_event(x_.get());
    if (!event) break;
    Reply<xcb_generic_event_t> owned(event);
    ++handled;
    onEvent_(*event);
  }
  pumping_ = false;
  if (handled > 0 && onBatchEnd_) onBatchEnd_();
  if (handled == kBatch) schedulePass();  // more may be waiting: the next turn takes them
  checkConnection();
}

void EventPump::checkConnection() {
  if (lost_ || !x_.hasError()) return;
  lost_ = true;
  if (watch_ != 0) loop_->unwatchFd(watch_);
  watch_ = 0;
  if (onLost_) onLost_();
}

}  // namespace tilvane::x11
