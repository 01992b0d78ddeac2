#pragma once

#include <cstddef>
#include <cstdint>

// The crash context's memory: one anonymous mapping laid out as guard page, writable region, guard page,
// read-only region, guard page. Allocation bumps a cursor with compare-and-swap; every block is 16-byte aligned.
// After set-up the read-only region is protected, so a wild write elsewhere cannot corrupt what the handlers
// need. The mapping is never released.

namespace crashreporting {

struct VRDAllocatorRegion {
  std::uint64_t size = 0;
  std::uint64_t start = 0;
  std::uint64_t cursor = 0;  // next free byte
};

/// Eight 64-bit words, the first allocation of the read-only region.
struct VRDAllocator {
  std::uint64_t mappingStart = 0;
  std::uint64_t protectedFlag = 0;
  VRDAllocatorRegion writable;
  VRDAllocatorRegion readOnly;
};
static_assert(sizeof(VRDAllocator) == 64);

enum VRDAllocationType : int {
  VRDAllocationTypeReadOnly = 0,
  VRDAllocationTypeWritable = 1,
};

/// Region sizes for the requested byte counts with page size `pageSize`: the writable one rounded to the next
/// whole page above (0 for 0), the read-only one likewise after adding the 64-byte header.
std::uint64_t VRDAllocatorWritableRegionSize(std::uint64_t requested, std::uint64_t pageSize) noexcept;
std::uint64_t VRDAllocatorReadOnlyRegionSize(std::uint64_t requested, std::uint64_t pageSize) noexcept;

/// Null when the mapping or a guard page cannot be made.
VRDAllocator* VRDAllocatorCreate(std::uint64_t writableSize, std::uint64_t readOnlySize) noexcept;
/// A block from the region of `type`; from the heap (with a warning) when the allocator is null or already
/// protected, or the region is exhausted. Null for an unknown type.
void* VRDAllocatorSafeAllocate(VRDAllocator* allocator, std::size_t size, int type) noexcept;
void* VRDAllocatorSafeAllocateFromRegion(VRDAllocatorRegion* region, std::size_t size) noexcept;
/// Makes the read-only region read-only; true when it is (already protected counts).
bool VRDAllocatorProtect(VRDAllocator* allocator) noexcept;
/// Does nothing: the mapping lives until the process ends.
void VRDAllocatorDestroy(VRDAllocator* allocator) noexcept;

}  // namespace crashreporting
