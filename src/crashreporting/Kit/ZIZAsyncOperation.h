#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/Operation.h"

namespace crashreporting {

/// The base of every asynchronous step of the kit framework: its work ends after main() returns, when a
/// callback calls finishWithError(). It finishes once: later calls of finishWithError() are ignored, so its
/// completion runs at most once.
class ZIZAsyncOperation : public Operation {
 public:
  using AsyncCompletion = std::function<void(const std::optional<Error>& error)>;

  void start() override;
  bool isAsynchronous() const override { return true; }
  bool isExecuting() const override;
  bool isFinished() const override;

  /// When cancelled: finishes (without running the work) and answers true.
  bool checkForCancellation();
  /// Ends the work: runs the async completion with `error`, then marks the operation done. Only the first call
  /// of an operation does anything.
  void finishWithError(const std::optional<Error>& error);
  void markStarted();
  void markDone();
  /// Runs `block` holding the operation's recursive lock.
  void lock(const std::function<void()>& block);
  /// Announces a change of `key` around `block`.
  void changeValueForKey(std::string_view key, const std::function<void()>& block);

  AsyncCompletion asyncCompletion() const;
  void setAsyncCompletion(AsyncCompletion completion);

  /// The class name that labels the lock.
  virtual std::string className() const { return "ZIZAsyncOperation"; }
  /// The lock's name: the library prefix, ".", the class name and "-lock".
  std::string lockName() const;

 private:
  mutable std::recursive_mutex lock_;
  bool internalExecuting_ = false;
  bool internalFinished_ = false;
  bool finishCalled_ = false;
  AsyncCompletion asyncCompletion_;
};

}  // namespace crashreporting
