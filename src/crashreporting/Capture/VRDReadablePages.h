#pragma once

#include <cstddef>
#include <cstdint>

// Safe reads for the unwinder, without a system call per read. A page is proved readable once with a safe
// read (VRDReadMemory) and remembered; later reads from remembered pages are plain loads. At crash time every
// other thread is stopped, so a page proved readable stays mapped for the walk. No heap, no locks.

namespace crashreporting {

struct VRDReadablePages {
  static constexpr std::size_t kSlots = 256;
  std::uint64_t pages[kSlots];  // direct-mapped by page number: page number + 1, or 0 for none
};

/// Forgets every page.
void VRDReadablePagesReset(VRDReadablePages* cache) noexcept;
/// Copies `length` bytes at `address`; false, without faulting, when any of them cannot be read. A null cache
/// reads every time through VRDReadMemory.
bool VRDReadablePagesRead(VRDReadablePages* cache, std::uint64_t address, void* out, std::size_t length) noexcept;

}  // namespace crashreporting
