#pragma once

#include <cstddef>
#include <cstdint>

// The process's threads and their names from /proc, read with raw system calls into the caller's buffers:
// opendir and readdir would take the heap. Async-signal-safe.

namespace crashreporting {

/// The kernel thread ids listed in /proc/self/task, in listing order, at most `capacity`; −1 when the folder
/// cannot be read.
int VRDThreadListRead(std::int32_t* threads, std::size_t capacity) noexcept;
/// The name of thread `tid` (/proc/self/task/<tid>/comm without its newline) into `out`, which is emptied
/// first; false when it cannot be read.
bool VRDThreadGetName(std::int32_t tid, char* out, std::size_t capacity) noexcept;
/// Reads up to `capacity` − 1 bytes of the file at `path` into `out` and terminates them; the count, or −1.
long VRDReadSmallFile(const char* path, char* out, std::size_t capacity) noexcept;

}  // namespace crashreporting
