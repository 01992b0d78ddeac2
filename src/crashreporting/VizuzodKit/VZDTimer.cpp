#include "crashreporting/VizuzodKit/VZDTimer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

namespace crashreporting {

struct VZDTimer::Source {
  std::chrono::nanoseconds interval;
  VZDScheduler scheduler;
  std::function<void()> tick;
};

VZDTimer::VZDTimer(double timeInterval, std::shared_ptr<OperationQueue> queue, std::string timerIdentifier,
                   std::function<void()> block, VZDScheduler scheduler)
    : timerIdentifier_(std::move(timerIdentifier)),
      timeInterval_(timeInterval),
      timerBlock_(std::move(block)),
      queue_(std::move(queue)),
      scheduler_(scheduler ? std::move(scheduler) : VZDGlobalQueueScheduler()) {
  scheduleTimer();
}

VZDTimer::~VZDTimer() = default;

void VZDTimer::scheduleTimer() { scheduleDispatchTimer(); }

void VZDTimer::scheduleDispatchTimer() {
  timerSource_.reset();
  // Zero, negative or NaN would fire without pause.
  if (!(timeInterval_ > 0) || !queue_) return;
  const double seconds = std::min(timeInterval_, kMaximumInterval);
  auto source = std::make_shared<Source>();
  source->interval = std::chrono::nanoseconds(static_cast<std::int64_t>(seconds * 1e9));
  source->scheduler = scheduler_;
  // The tick holds neither the timer nor its source: a released timer stops.
  source->tick = [queue = std::weak_ptr<OperationQueue>(queue_), block = timerBlock_] {
    if (const auto target = queue.lock(); target && block) target->addOperationWithBlock(block);
  };
  timerSource_ = source;
  arm(source);
}

void VZDTimer::arm(const std::shared_ptr<Source>& source) {
  source->scheduler(source->interval, [weak = std::weak_ptr<Source>(source)] {
    const auto alive = weak.lock();
    if (!alive) return;
    alive->tick();
    VZDTimer::arm(alive);
  });
}

void VZDTimer::executeBlock() {
  if (queue_ && timerBlock_) queue_->addOperationWithBlock(timerBlock_);
}

}  // namespace crashreporting
