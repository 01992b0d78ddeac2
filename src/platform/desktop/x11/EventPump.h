#pragma once

#include <xcb/xcb.h>

#include <functional>
#include <memory>

#include "platform/dispatch/MainLoop.h"
#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

/// Reads the X connection's events on the main loop, never blocking it: the connection's file descriptor is
/// watched by the installed main loop (MainQueue), and each time it is readable the queued events are handed
/// to `onEvent` — at most a bounded batch per turn, the rest on the next turn, so a flood of events from a
/// misbehaving client cannot stall the loop. `onBatchEnd` runs after each batch (to coalesce notifications).
///
/// xcb may read events off the socket while it waits for a reply; those sit in its queue without the socket
/// signalling them, so after every reply the pump schedules one extra pass over the queue.
///
/// When the connection breaks, the pump stops watching and calls `onLost` once. Main thread only; a loop must be
/// installed when the pump is made.
class EventPump {
 public:
  using EventHandler = std::function<void(const xcb_generic_event_t&)>;

  EventPump(XConnection& x, EventHandler onEvent, std::function<void()> onBatchEnd, std::function<void()> onLost);
  ~EventPump();
  EventPump(const EventPump&) = delete;
  EventPump& operator=(const EventPump&) = delete;

  /// Handles what is queued now (one batch); what the main loop's watcher does.
  void pump();
  /// Events handled per turn of the loop.
  static constexpr int kBatch = 256;

 private:
  void schedulePass();
  void checkConnection();

  XConnection& x_;
  EventHandler onEvent_;
  std::function<void()> onBatchEnd_;
  std::function<void()> onLost_;
  dispatch::MainLoop* loop_ = nullptr;
  dispatch::TaskId watch_ = 0;
  bool passScheduled_ = false;
  bool lost_ = false;
  bool pumping_ = false;
  /// Expires with the pump, so scheduled passes never touch a destroyed pump.
  std::shared_ptr<EventPump*> self_;
};

}  // namespace tilvane::x11
