#include "crashreporting/Capture/VRDReadablePages.h"

#include "crashreporting/Capture/VRDSafeRead.h"

namespace crashreporting {
namespace {

constexpr std::uint64_t kPageSize = 4096;

bool knownReadable(VRDReadablePages* cache, std::uint64_t page) noexcept {
  std::uint64_t& slot = cache->pages[page % VRDReadablePages::kSlots];
  if (slot == page + 1) return true;
  std::uint8_t probe = 0;
  if (!VRDReadMemory(page * kPageSize, &probe, 1)) return false;
  slot = page + 1;
  return true;
}

// The pages were proved readable; the bytes may still be a sanitizer's poisoned stack slots, which are fine to
// read here. A volatile source keeps the loop from becoming an intercepted memcpy.
__attribute__((no_sanitize("address", "undefined"))) void copyBytes(std::uint64_t address, void* out,
                                                                    std::size_t length) noexcept {
  const volatile std::uint8_t* source = reinterpret_cast<const volatile std::uint8_t*>(address);
  auto* destination = static_cast<std::uint8_t*>(out);
  for (std::size_t i = 0; i < length; ++i) destination[i] = source[i];
}

}  // namespace

void VRDReadablePagesReset(VRDReadablePages* cache) noexcept {
  for (std::uint64_t& page : cache->pages) page = 0;
}

bool VRDReadablePagesRead(VRDReadablePages* cache, std::uint64_t address, void* out, std::size_t length) noexcept {
  if (cache == nullptr) return VRDReadMemory(address, out, length);
  if (address < VRDMinimumValidAddress || out == nullptr) return false;
  if (length == 0) return true;
  if (address + length < address) return false;
  const std::uint64_t last = (address + length - 1) / kPageSize;
  for (std::uint64_t page = address / kPageSize; page <= last; ++page) {
    if (!knownReadable(cache, page)) return false;
  }
  copyBytes(address, out, length);
  return true;
}

}  // namespace crashreporting
