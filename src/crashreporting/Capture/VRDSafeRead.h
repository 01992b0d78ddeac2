#pragma once

#include <cstddef>
#include <cstdint>

// Fault-proof reads of the own process's memory, for crash-time code that must not trust any pointer.
// Async-signal-safe; no heap, no locks.

namespace crashreporting {

/// Pointers below this are never dereferenced by crash-time code.
inline constexpr std::uint64_t VRDMinimumValidAddress = 4096;

/// Copies `length` bytes at `address` into `destination`; false, without faulting, when any of them cannot be
/// read (below 4096, unmapped, not readable). Uses process_vm_readv on the own process, or a pipe where that
/// call is refused.
bool VRDReadMemory(std::uint64_t address, void* destination, std::size_t length) noexcept;

/// The same through a pipe (the kernel checks the source of a write); what VRDReadMemory falls back to.
bool VRDReadMemoryThroughPipe(std::uint64_t address, void* destination, std::size_t length) noexcept;

/// Whether the 8 bytes at `address` can be read, in one system call: the kernel reads them as a signal mask
/// for a request it then refuses, so nothing changes and nothing is copied out. Where that call is filtered
/// it is answered by VRDReadMemory.
bool VRDProbeReadable(std::uint64_t address) noexcept;

/// Probes the NUL-terminated string at `address` byte by byte up to `maximumLength` bytes; on success hands
/// back the same address in `out` (no copy is made). A maximum of 0 succeeds at once.
bool VRDReadString(std::uint64_t address, const char** out, std::size_t maximumLength) noexcept;

}  // namespace crashreporting
