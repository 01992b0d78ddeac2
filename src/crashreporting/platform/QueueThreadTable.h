#pragma once

#include <cstddef>
#include <cstdint>

// Which serial queue a thread serves, by kernel thread id: a fixed table in static memory with lock-free
// claims, so that crash-time code can read a thread's queue label without heap or locks (the stand-in for a
// thread's dispatch queue). A queue's thread enters itself when it starts and leaves when it ends.

namespace crashreporting {

inline constexpr std::size_t QueueThreadTableSize = 128;
inline constexpr std::size_t QueueThreadLabelSize = 64;

/// Enters the calling thread with `label` (cut to 63 bytes); nothing when the table is full.
void QueueThreadTableEnter(const char* label) noexcept;
/// Removes the calling thread.
void QueueThreadTableLeave() noexcept;
/// Copies the label of thread `tid` into `out` (QueueThreadLabelSize bytes, terminated); false when the thread
/// serves no queue. Async-signal-safe.
bool QueueThreadTableLabel(std::int32_t tid, char* out) noexcept;

}  // namespace crashreporting
