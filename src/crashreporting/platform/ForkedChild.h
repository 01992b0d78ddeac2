#pragma once

#include <sys/types.h>
#include <unistd.h>

// The library belongs to the process that started it. A child forked from it without exec has only the thread
// that called fork: none of the library's threads, and copies of their locks and condition variables that may
// stay held or waited on for ever. So in such a child the library's queues and timers leave what they inherited
// alone (never joined, woken or destroyed), its exit work waits for nothing, and nothing is recorded there.

namespace crashreporting {

/// The process that made a thread, a queue or a timer (the calling one when made).
class OwningProcess {
 public:
  OwningProcess() noexcept : pid_(::getpid()) {}
  /// Whether the calling process is a child forked without exec from the owner (or from one of its children).
  bool forkedAway() const noexcept { return ::getpid() != pid_; }

 private:
  pid_t pid_;
};

/// A child forked without exec records nothing: its events, keys, logs, errors and crashes are not kept. Said
/// once in each such process, at its first attempt.
void sayNothingIsRecordedInForkedChild();

}  // namespace crashreporting
