#include "platform/dispatch/QtMainLoop.h"

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <map>

namespace tilvane::dispatch {

struct QtMainLoop::Impl {
  QObject context;  // lives on the main thread; queued calls are delivered to it
  std::map<TaskId, std::unique_ptr<QTimer>> timers;
  std::map<TaskId, std::unique_ptr<QSocketNotifier>> notifiers;

  void onMain(std::function<void()> fn) {
    QMetaObject::invokeMethod(&context, std::move(fn), Qt::QueuedConnection);
  }
};

QtMainLoop::QtMainLoop() : impl_(std::make_unique<Impl>()) {}

QtMainLoop::~QtMainLoop() = default;

void QtMainLoop::async(Task task) { impl_->onMain(std::move(task)); }

TaskId QtMainLoop::asyncAfter(double seconds, Task task) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  const TaskId id = nextId_++;
  const int ms = static_cast<int>(std::min(seconds * 1000.0, 2.0e9));
  Impl* impl = impl_.get();
  auto arm = [impl, id, ms, task = std::move(task)]() mutable {
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, &impl->context, [impl, id, task = std::move(task)] {
      // Take the timer out first: the task may schedule or cancel others.
      auto node = impl->timers.extract(id);
      task();
      if (node) node.mapped().release()->deleteLater();
    });
    timer->start(ms);
    impl->timers.emplace(id, std::move(timer));
  };
  if (isMainThread())
    arm();
  else
    impl_->onMain(std::move(arm));
  return id;
}

void QtMainLoop::cancel(TaskId id) {
  Impl* impl = impl_.get();
  auto drop = [impl, id] { impl->timers.erase(id); };
  if (isMainThread())
    drop();
  else
    impl_->onMain(drop);
}

TaskId QtMainLoop::watchFd(int fd, Task onReadable) {
  const TaskId id = nextId_++;
  auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, &impl_->context,
                   [cb = std::move(onReadable)] { cb(); });
  impl_->notifiers.emplace(id, std::move(notifier));
  return id;
}

void QtMainLoop::unwatchFd(TaskId id) {
  auto node = impl_->notifiers.extract(id);
  if (node) {
    node.mapped()->setEnabled(false);
    node.mapped().release()->deleteLater();
  }
}

bool QtMainLoop::isMainThread() const { return QThread::currentThread() == impl_->context.thread(); }

int QtMainLoop::run() { return QCoreApplication::exec(); }

void QtMainLoop::quit(int exitCode) { QCoreApplication::exit(exitCode); }

}  // namespace tilvane::dispatch
