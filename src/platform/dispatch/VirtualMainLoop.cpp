#include "platform/dispatch/VirtualMainLoop.h"

#include <poll.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace tilvane::dispatch {

namespace {
// Delays beyond a century are clamped; they would never fire in a test anyway.
std::int64_t toNanos(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) return 0;
  return std::llround(std::min(seconds, 3.0e9) * 1e9);
}
}  // namespace

double VirtualClock::now() const { return start_ + static_cast<double>(elapsedNanos()) / 1e9; }

std::int64_t VirtualClock::elapsedNanos() const { return elapsed_.load(); }

void VirtualClock::setElapsedNanos(std::int64_t ns) { elapsed_.store(ns); }

VirtualMainLoop::VirtualMainLoop(double startTime) : clock_(startTime), owner_(std::this_thread::get_id()) {}

void VirtualMainLoop::async(Task task) {
  std::lock_guard lock(mutex_);
  posted_.emplace_back(Key{clock_.elapsedNanos(), nextId_++}, std::move(task));
}

TaskId VirtualMainLoop::asyncAfter(double seconds, Task task) {
  std::lock_guard lock(mutex_);
  const TaskId id = nextId_++;
  const std::int64_t due = clock_.elapsedNanos() + toNanos(seconds);
  tasks_.emplace(Key{due, id}, std::move(task));
  dueById_.emplace(id, due);
  return id;
}

void VirtualMainLoop::cancel(TaskId id) {
  std::lock_guard lock(mutex_);
  auto it = dueById_.find(id);
  if (it == dueById_.end()) return;
  tasks_.erase(Key{it->second, id});
  dueById_.erase(it);
}

TaskId VirtualMainLoop::watchFd(int fd, Task onReadable) {
  std::lock_guard lock(mutex_);
  const TaskId id = nextId_++;
  watchers_.emplace(id, std::make_pair(fd, std::move(onReadable)));
  return id;
}

void VirtualMainLoop::unwatchFd(TaskId id) {
  std::lock_guard lock(mutex_);
  watchers_.erase(id);
}

bool VirtualMainLoop::isMainThread() const { return std::this_thread::get_id() == owner_; }

bool VirtualMainLoop::runOne(std::int64_t limit) {
  Task task;
  {
    std::lock_guard lock(mutex_);
    // The earlier of the two queues' first tasks, by due time and then by the order they were scheduled.
    if (!posted_.empty() && (tasks_.empty() || posted_.front().first < tasks_.begin()->first)) {
      if (posted_.front().first.due > limit) return false;
      task = std::move(posted_.front().second);
      posted_.pop_front();
    } else {
      if (tasks_.empty() || tasks_.begin()->first.due > limit) return false;
      auto node = tasks_.extract(tasks_.begin());
      dueById_.erase(node.key().id);
      if (node.key().due > clock_.elapsedNanos()) clock_.setElapsedNanos(node.key().due);
      task = std::move(node.mapped());
    }
  }
  task();
  return true;
}

std::size_t VirtualMainLoop::advance(double seconds) {
  const std::int64_t target = clock_.elapsedNanos() + toNanos(seconds);
  std::size_t ran = 0;
  while (runOne(target)) ++ran;
  if (clock_.elapsedNanos() < target) clock_.setElapsedNanos(target);
  return ran;
}

std::size_t VirtualMainLoop::runUntilIdle(double limit) {
  const std::int64_t end = clock_.elapsedNanos() + toNanos(limit);
  std::size_t ran = 0;
  while (runOne(end)) ++ran;
  return ran;
}

std::size_t VirtualMainLoop::pendingCount() const {
  std::lock_guard lock(mutex_);
  return tasks_.size() + posted_.size();
}

double VirtualMainLoop::nextDueTime() const {
  std::lock_guard lock(mutex_);
  if (tasks_.empty() && posted_.empty()) return -1.0;
  std::int64_t due = tasks_.empty() ? posted_.front().first.due : tasks_.begin()->first.due;
  if (!posted_.empty()) due = std::min(due, posted_.front().first.due);
  return clock_.now() + static_cast<double>(due - clock_.elapsedNanos()) / 1e9;
}

void VirtualMainLoop::notifyReadable(int fd) {
  std::vector<Task> callbacks;
  {
    std::lock_guard lock(mutex_);
    for (auto& [id, w] : watchers_)
      if (w.first == fd) callbacks.push_back(w.second);
  }
  for (auto& cb : callbacks) cb();
}

std::size_t VirtualMainLoop::notifyReadableWatched() {
  std::vector<pollfd> fds;
  {
    std::lock_guard lock(mutex_);
    std::set<int> watched;
    for (const auto& [id, w] : watchers_) watched.insert(w.first);
    for (const int fd : watched) fds.push_back(pollfd{fd, POLLIN, 0});
  }
  if (fds.empty() || ::poll(fds.data(), fds.size(), 0) <= 0) return 0;
  std::size_t readable = 0;
  for (const pollfd& p : fds) {
    if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
    ++readable;
    notifyReadable(p.fd);
  }
  return readable;
}

}  // namespace tilvane::dispatch
