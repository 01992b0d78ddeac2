#pragma once

#include <cstdint>

#include "crashreporting/Capture/VRDFile.h"

// Memory, CPU and storage figures of the crashing process, read from /proc, getrusage and statfs with raw
// system calls into stack buffers. Async-signal-safe.

namespace crashreporting {

/// System memory in bytes from /proc/meminfo: Active, Inactive, Unevictable (memory that cannot be paged out)
/// and MemFree.
bool VRDProcessGetMemoryUsage(std::uint64_t* active, std::uint64_t* inactive, std::uint64_t* wired,
                              std::uint64_t* free) noexcept;
/// The process's virtual and resident size in bytes (/proc/self/statm) and its user and system time in
/// microseconds.
bool VRDProcessGetInfo(std::uint64_t* virtualSize, std::uint64_t* residentSize, std::uint64_t* userTime,
                       std::uint64_t* systemTime) noexcept;
/// The `process_stats` line; nothing when either query fails.
void VRDProcessRecordStats(VRDFile* file) noexcept;
/// The `storage` line: free and total bytes of the documents folder's file system (an empty object when it
/// cannot be queried).
void VRDHostRecordStorage(VRDFile* file) noexcept;

}  // namespace crashreporting
