#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "crashreporting/Kit/ZIZAsyncOperation.h"
#include "crashreporting/platform/OperationQueue.h"
#include "crashreporting/platform/SerialQueue.h"

namespace crashreporting {

/// The error domain of compound operations.
inline constexpr const char* ZIZCompoundOperationErrorDomain = "com.zizozu.ZIZCompoundOperation.error";
/// The error list holding the sub-operations' errors.
inline constexpr const char* ZIZCompoundOperationUnderlyingErrorsKey =
    "com.zizozu.ZIZCompoundOperation.error.user-info-key.underlying-errors";
/// The compound operation was cancelled (-2 as an unsigned 32-bit number).
inline constexpr std::int64_t ZIZCompoundOperationErrorCodeCancelled = 4294967294;
/// At least one sub-operation failed (-3 as an unsigned 32-bit number).
inline constexpr std::int64_t ZIZCompoundOperationErrorCodeSuboperationFailed = 4294967293;

/// Runs its sub-operations on a queue of its own and finishes, once, when every one of them has finished: with
/// no error when all succeeded, with the sub-operation-failure error (their errors in its error list) when any
/// failed, with the cancelled error when it was cancelled while running. Make it with std::make_shared.
class ZIZCompoundOperation : public ZIZAsyncOperation {
 public:
  ZIZCompoundOperation();

  std::string className() const override { return "ZIZCompoundOperation"; }

  /// Set before the operation starts.
  void setOperations(std::vector<std::shared_ptr<ZIZAsyncOperation>> operations);
  std::vector<std::shared_ptr<ZIZAsyncOperation>> operations() const;
  OperationQueue& compoundQueue() { return compoundQueue_; }
  std::uint64_t completedOperations() const;
  std::vector<Error> errors() const;
  SerialQueue& countingQueue() { return countingQueue_; }

  void main() override;
  void cancel() override;

  /// On the counting queue: finishes the operation when every sub-operation has finished (or it was cancelled
  /// and they all have).
  void attemptCompoundCompletion();
  /// On the counting queue: counts one sub-operation's outcome.
  void updateCompletionCountsWithError(const std::optional<Error>& error);
  void injectCompoundAsyncCompletionInOperation(ZIZAsyncOperation& operation);
  void injectCompoundSyncCompletionInOperation(ZIZAsyncOperation& operation);

 private:
  Error cancelledError() const;

  mutable std::mutex operationsMutex_;
  std::vector<std::shared_ptr<ZIZAsyncOperation>> operations_;
  OperationQueue compoundQueue_;
  // Touched only on the counting queue.
  std::uint64_t expectedOperations_ = 0;
  std::uint64_t completedOperations_ = 0;
  std::uint64_t finishedOperations_ = 0;
  std::vector<Error> errors_;
  bool started_ = false;
  mutable SerialQueue countingQueue_;
};

}  // namespace crashreporting
