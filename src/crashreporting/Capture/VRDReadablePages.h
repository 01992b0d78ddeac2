#pragma once

#include <cstddef>
#include <cstdint>

#include "crashreporting/Capture/VRDSafeRead.h"

// Safe reads for the unwinder, without a system call per read. A page is proved readable once with a safe
// read (VRDReadMemory) and remembered; later reads from remembered pages are plain loads. The proofs hold only
// while nothing can unmap a page: at crash time every other thread is stopped, so they serve the whole capture.
// No heap, no locks.

namespace crashreporting {

inline constexpr std::uint64_t VRDReadablePageSize = 4096;

struct VRDReadablePages {
  static constexpr std::size_t kSlots = 1024;
  static constexpr std::size_t kTrustedRanges = 16;
  std::uint64_t pages[kSlots];  // direct-mapped by page number: page number + 1, or 0 for none
  /// Ranges readable without a proof: the segment of a loaded image that holds its unwind sections.
  std::uint64_t trustedStart[kTrustedRanges];
  std::uint64_t trustedEnd[kTrustedRanges];
  std::uint32_t trustedCount;
};

/// Forgets every page and range.
void VRDReadablePagesReset(VRDReadablePages* cache) noexcept;
/// Takes every page of [start, end) as readable from now on, without a proof: only for memory that cannot be
/// unmapped while the proofs are kept. Past kTrustedRanges ranges, later ones are proved as usual.
void VRDReadablePagesTrust(VRDReadablePages* cache, std::uint64_t start, std::uint64_t end) noexcept;
/// Proves every page of [address, address + length) that is not yet known; false when one is not readable.
bool VRDReadablePagesProve(VRDReadablePages* cache, std::uint64_t address, std::size_t length) noexcept;
/// VRDReadablePagesRead without the fast path: proves the pages that are not yet known.
bool VRDReadablePagesReadProving(VRDReadablePages* cache, std::uint64_t address, void* out,
                                 std::size_t length) noexcept;
/// Loads `length` bytes from pages known to be readable. The bytes may be a sanitizer's poisoned stack slots,
/// which are fine to read here.
__attribute__((no_sanitize("address", "undefined"))) inline void VRDReadablePagesCopy(std::uint64_t address,
                                                                                      void* out,
                                                                                      std::size_t length) noexcept {
  // Fixed sizes become single loads; the volatile loop keeps any other size from becoming an intercepted memcpy.
  switch (length) {
    case 1: __builtin_memcpy(out, reinterpret_cast<const void*>(address), 1); return;
    case 2: __builtin_memcpy(out, reinterpret_cast<const void*>(address), 2); return;
    case 4: __builtin_memcpy(out, reinterpret_cast<const void*>(address), 4); return;
    case 8: __builtin_memcpy(out, reinterpret_cast<const void*>(address), 8); return;
    default: break;
  }
  const volatile std::uint8_t* source = reinterpret_cast<const volatile std::uint8_t*>(address);
  auto* destination = static_cast<std::uint8_t*>(out);
  for (std::size_t i = 0; i < length; ++i) destination[i] = source[i];
}

/// Copies `length` bytes at `address`; false, without faulting, when any of them cannot be read. A null cache
/// reads every time through VRDReadMemory. Inline for the common case, a small read from a known page.
inline bool VRDReadablePagesRead(VRDReadablePages* cache, std::uint64_t address, void* out,
                                 std::size_t length) noexcept {
  if (cache != nullptr && out != nullptr && address >= VRDMinimumValidAddress && length <= 16 &&
      address % VRDReadablePageSize + length <= VRDReadablePageSize) {
    const std::uint64_t page = address / VRDReadablePageSize;
    if (cache->pages[page % VRDReadablePages::kSlots] == page + 1) {
      VRDReadablePagesCopy(address, out, length);
      return true;
    }
  }
  return VRDReadablePagesReadProving(cache, address, out, length);
}

}  // namespace crashreporting
