#include "crashreporting/Kit/ZIZCompoundOperation.h"

#include "crashreporting/Kit/KitConstants.h"

namespace crashreporting {

ZIZCompoundOperation::ZIZCompoundOperation()
    : countingQueue_(std::string(kZIZReverseDNSPrefix) + ".ZIZCompoundOperation.dispatch-queue.counting-queue") {}

void ZIZCompoundOperation::setOperations(std::vector<std::shared_ptr<ZIZAsyncOperation>> operations) {
  const std::lock_guard guard(operationsMutex_);
  operations_ = std::move(operations);
}

std::vector<std::shared_ptr<ZIZAsyncOperation>> ZIZCompoundOperation::operations() const {
  const std::lock_guard guard(operationsMutex_);
  return operations_;
}

std::uint64_t ZIZCompoundOperation::completedOperations() const {
  return countingQueue_.syncResult([this] { return completedOperations_; });
}

std::vector<Error> ZIZCompoundOperation::errors() const {
  return countingQueue_.syncResult([this] { return errors_; });
}

void ZIZCompoundOperation::main() {
  const auto subOperations = operations();
  countingQueue_.sync([&] {
    started_ = true;
    expectedOperations_ = subOperations.size();
  });
  if (subOperations.empty()) {
    finishWithError(std::nullopt);  // nothing to wait for
    return;
  }
  for (const auto& op : subOperations) {
    injectCompoundAsyncCompletionInOperation(*op);
    injectCompoundSyncCompletionInOperation(*op);
  }
  for (const auto& op : subOperations) compoundQueue_.addOperation(op);
}

void ZIZCompoundOperation::injectCompoundAsyncCompletionInOperation(ZIZAsyncOperation& operation) {
  const std::weak_ptr<Operation> weak = weak_from_this();
  auto previous = operation.asyncCompletion();
  operation.setAsyncCompletion([weak, previous](const std::optional<Error>& error) {
    const auto self = std::static_pointer_cast<ZIZCompoundOperation>(weak.lock());
    if (!self) {
      if (previous) previous(error);
      return;
    }
    if (previous) self->countingQueue_.sync([&] { previous(error); });
    self->updateCompletionCountsWithError(error);
  });
}

void ZIZCompoundOperation::injectCompoundSyncCompletionInOperation(ZIZAsyncOperation& operation) {
  const std::weak_ptr<Operation> weak = weak_from_this();
  auto previous = operation.completionBlock();
  operation.setCompletionBlock([weak, previous] {
    const auto self = std::static_pointer_cast<ZIZCompoundOperation>(weak.lock());
    if (!self) {
      if (previous) previous();
      return;
    }
    if (previous) self->countingQueue_.sync(previous);
    self->countingQueue_.sync([&] {
      ++self->finishedOperations_;
      self->attemptCompoundCompletion();
    });
  });
}

void ZIZCompoundOperation::updateCompletionCountsWithError(const std::optional<Error>& error) {
  countingQueue_.sync([&] {
    if (error) {
      errors_.push_back(*error);
    } else {
      ++completedOperations_;
    }
  });
}

void ZIZCompoundOperation::attemptCompoundCompletion() {
  countingQueue_.sync([this] {
    // Every sub-operation must have finished first, so the completion never runs while one is still at work.
    if (!started_ || finishedOperations_ < expectedOperations_) return;
    if (isCancelled() || completedOperations_ + errors_.size() < expectedOperations_) {
      // A sub-operation cancelled on its own finishes without an outcome; the whole counts as cancelled then.
      finishWithError(cancelledError());
      setAsyncCompletion(nullptr);
    } else if (errors_.empty()) {
      finishWithError(std::nullopt);
    } else {
      Error failed{ZIZCompoundOperationErrorDomain, ZIZCompoundOperationErrorCodeSuboperationFailed, {}, {}};
      failed.errorLists[ZIZCompoundOperationUnderlyingErrorsKey] = errors_;
      finishWithError(failed);
    }
  });
}

void ZIZCompoundOperation::cancel() {
  const bool started = countingQueue_.syncResult([this] { return started_; });
  if (!started) {
    // Not started: the sub-operations never run; each finishes at once as cancelled.
    for (const auto& op : operations()) op->cancel();
    for (const auto& op : operations()) compoundQueue_.addOperation(op);
    ZIZAsyncOperation::cancel();
    return;
  }
  // Cancelled first, so that whichever sub-operation finishes last delivers the cancelled error.
  ZIZAsyncOperation::cancel();
  compoundQueue_.cancelAllOperations();
  attemptCompoundCompletion();
}

Error ZIZCompoundOperation::cancelledError() const {
  Error cancelled{ZIZCompoundOperationErrorDomain, ZIZCompoundOperationErrorCodeCancelled, {}, {}};
  cancelled.userInfo[kLocalizedDescriptionKey] = Value(name() + " cancelled");
  return cancelled;
}

}  // namespace crashreporting
