#include "crashreporting/Capture/VRDReadablePages.h"

namespace crashreporting {
namespace {

bool trusted(const VRDReadablePages* cache, std::uint64_t page) noexcept {
  const std::uint32_t count = cache->trustedCount < VRDReadablePages::kTrustedRanges ? cache->trustedCount
                                                                                       : VRDReadablePages::kTrustedRanges;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (page >= cache->trustedStart[i] / VRDReadablePageSize && page <= (cache->trustedEnd[i] - 1) / VRDReadablePageSize) {
      return true;
    }
  }
  return false;
}

bool knownReadable(VRDReadablePages* cache, std::uint64_t page) noexcept {
  std::uint64_t& slot = cache->pages[page % VRDReadablePages::kSlots];
  if (slot == page + 1) return true;
  if (trusted(cache, page)) {
    slot = page + 1;
    return true;
  }
  // A probe across the boundary with the next page proves both at once: walks climb the stack, and unwind data
  // for nearby code lies side by side. At the end of a mapping it fails, and the page is probed alone.
  const std::uint64_t next = page + 1;
  if (next < ~std::uint64_t{0} / VRDReadablePageSize && VRDProbeReadable(next * VRDReadablePageSize - 4)) {
    cache->pages[next % VRDReadablePages::kSlots] = next + 1;
  } else if (!VRDProbeReadable(page * VRDReadablePageSize)) {
    return false;
  }
  slot = page + 1;
  return true;
}

}  // namespace

void VRDReadablePagesReset(VRDReadablePages* cache) noexcept {
  for (std::uint64_t& page : cache->pages) page = 0;
  cache->trustedCount = 0;
}

void VRDReadablePagesTrust(VRDReadablePages* cache, std::uint64_t start, std::uint64_t end) noexcept {
  if (cache == nullptr || start < VRDMinimumValidAddress || end <= start ||
      cache->trustedCount >= VRDReadablePages::kTrustedRanges) {
    return;
  }
  cache->trustedStart[cache->trustedCount] = start;
  cache->trustedEnd[cache->trustedCount] = end;
  ++cache->trustedCount;
}

bool VRDReadablePagesReadProving(VRDReadablePages* cache, std::uint64_t address, void* out,
                                 std::size_t length) noexcept {
  if (cache == nullptr) return VRDReadMemory(address, out, length);
  if (out == nullptr || !VRDReadablePagesProve(cache, address, length)) return false;
  if (length > 0) VRDReadablePagesCopy(address, out, length);
  return true;
}

bool VRDReadablePagesProve(VRDReadablePages* cache, std::uint64_t address, std::size_t length) noexcept {
  if (cache == nullptr || address < VRDMinimumValidAddress) return false;
  if (length == 0) return true;
  if (address + length < address) return false;
  const std::uint64_t last = (address + length - 1) / VRDReadablePageSize;
  for (std::uint64_t page = address / VRDReadablePageSize; page <= last; ++page) {
    if (!knownReadable(cache, page)) return false;
  }
  return true;
}

}  // namespace crashreporting
