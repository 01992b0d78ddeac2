#include "crashreporting/Kit/ZIZAsyncOperation.h"

#include "crashreporting/Kit/KitConstants.h"

namespace crashreporting {

void ZIZAsyncOperation::start() {
  {
    const std::lock_guard guard(lock_);
    if (internalExecuting_ || internalFinished_) return;  // started once
  }
  if (checkForCancellation()) return;
  markStarted();
  main();
}

bool ZIZAsyncOperation::isExecuting() const {
  const std::lock_guard guard(lock_);
  return internalExecuting_;
}

bool ZIZAsyncOperation::isFinished() const {
  const std::lock_guard guard(lock_);
  return internalFinished_;
}

bool ZIZAsyncOperation::checkForCancellation() {
  if (!isCancelled()) return false;
  markDone();
  return true;
}

void ZIZAsyncOperation::finishWithError(const std::optional<Error>& error) {
  AsyncCompletion completion;
  {
    const std::lock_guard guard(lock_);
    if (finishCalled_ || internalFinished_) return;
    finishCalled_ = true;
    completion = asyncCompletion_;
  }
  if (completion) completion(error);
  markDone();
}

void ZIZAsyncOperation::markStarted() {
  lock([this] { changeValueForKey("isExecuting", [this] { internalExecuting_ = true; }); });
}

void ZIZAsyncOperation::markDone() {
  lock([this] {
    if (internalFinished_) return;  // done once; the finished notifications are not repeated
    changeValueForKey("isExecuting", [this] { internalExecuting_ = false; });
    changeValueForKey("isFinished", [this] { internalFinished_ = true; });
  });
}

void ZIZAsyncOperation::lock(const std::function<void()>& block) {
  const std::lock_guard guard(lock_);
  block();
}

void ZIZAsyncOperation::changeValueForKey(std::string_view key, const std::function<void()>& block) {
  willChangeValueForKey(key);
  block();
  didChangeValueForKey(key);
}

ZIZAsyncOperation::AsyncCompletion ZIZAsyncOperation::asyncCompletion() const {
  const std::lock_guard guard(lock_);
  return asyncCompletion_;
}

void ZIZAsyncOperation::setAsyncCompletion(AsyncCompletion completion) {
  const std::lock_guard guard(lock_);
  asyncCompletion_ = std::move(completion);
}

std::string ZIZAsyncOperation::lockName() const {
  return std::string(kZIZReverseDNSPrefix) + "." + className() + "-lock";
}

}  // namespace crashreporting
