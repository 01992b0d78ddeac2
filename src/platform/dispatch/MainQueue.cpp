#include "platform/dispatch/MainQueue.h"

#include <atomic>

namespace tilvane::dispatch {
namespace {
std::atomic<MainLoop*> installed{nullptr};
const SystemClock systemClock;
}  // namespace

MainQueue::Scope::Scope(MainLoop& loop) : previous_(installed.exchange(&loop)) {}
MainQueue::Scope::~Scope() { installed.store(previous_); }

MainLoop* MainQueue::loop() { return installed.load(); }

const Clock& MainQueue::clock() {
  MainLoop* l = loop();
  return l ? l->clock() : systemClock;
}

void MainQueue::async(Task task) {
  if (MainLoop* l = loop()) l->async(std::move(task));
}

TaskId MainQueue::asyncAfter(double seconds, Task task) {
  MainLoop* l = loop();
  return l ? l->asyncAfter(seconds, std::move(task)) : 0;
}

void MainQueue::cancel(TaskId id) {
  if (MainLoop* l = loop(); l && id != 0) l->cancel(id);
}

bool MainQueue::isMainThread() {
  MainLoop* l = loop();
  return !l || l->isMainThread();
}

void ScopedTimer::schedule(double seconds, Task task) {
  cancel();
  // The id is cleared before the task runs so the task may reschedule this timer.
  id_ = MainQueue::asyncAfter(seconds, [this, task = std::move(task)] {
    id_ = 0;
    task();
  });
}

void ScopedTimer::cancel() {
  if (id_ != 0) MainQueue::cancel(id_);
  id_ = 0;
}

void RepeatingTimer::start(double interval, Task task) {
  stop();
  interval_ = interval;
  task_ = std::move(task);
  arm();
}

void RepeatingTimer::arm() {
  id_ = MainQueue::asyncAfter(interval_, [this] {
    arm();
    task_();
  });
}

void RepeatingTimer::stop() {
  if (id_ != 0) MainQueue::cancel(id_);
  id_ = 0;
}

}  // namespace tilvane::dispatch
