#include "crashreporting/Capture/VRDAllocator.h"

#include <sys/mman.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDSafeRead.h"
#include "crashreporting/Capture/VRDUtilities.h"

namespace crashreporting {
namespace {

constexpr std::uint64_t kAlignment = 16;

std::uint64_t alignUp(std::uint64_t value) { return (value + kAlignment - 1) & ~(kAlignment - 1); }

}  // namespace

std::uint64_t VRDAllocatorWritableRegionSize(std::uint64_t requested, std::uint64_t pageSize) noexcept {
  return requested == 0 ? 0 : (requested / pageSize + 1) * pageSize;
}

std::uint64_t VRDAllocatorReadOnlyRegionSize(std::uint64_t requested, std::uint64_t pageSize) noexcept {
  return ((requested + sizeof(VRDAllocator)) / pageSize + 1) * pageSize;
}

VRDAllocator* VRDAllocatorCreate(std::uint64_t writableSize, std::uint64_t readOnlySize) noexcept {
  const std::uint64_t page = VRDHostGetPageSize();
  const std::uint64_t w = VRDAllocatorWritableRegionSize(writableSize, page);
  const std::uint64_t r = VRDAllocatorReadOnlyRegionSize(readOnlySize, page);
  const std::uint64_t total = 3 * page + w + r;
  void* mapping = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_ANONYMOUS | MAP_PRIVATE, -1, 0);
  if (mapping == MAP_FAILED) {
    VRDLogError("Mapping failed %s\n", VRDErrorText(errno));
    return nullptr;
  }
  auto* start = static_cast<std::uint8_t*>(mapping);
  std::uint8_t* writableStart = start + page;
  std::uint8_t* readOnlyStart = writableStart + w + page;
  VRDLogInfo("Mapping: %p %p %p, total: %zu K\n", mapping, static_cast<void*>(writableStart),
             static_cast<void*>(readOnlyStart), static_cast<std::size_t>(total / 1024));
  if (mprotect(start, page, PROT_NONE) != 0) {
    VRDLogError("First guard protection failed %s\n", VRDErrorText(errno));
    return nullptr;
  }
  if (mprotect(writableStart + w, page, PROT_NONE) != 0) {
    VRDLogError("Middle guard protection failed %s\n", VRDErrorText(errno));
    return nullptr;
  }
  if (mprotect(readOnlyStart + r, page, PROT_NONE) != 0) {
    VRDLogError("Last guard protection failed %s\n", VRDErrorText(errno));
    return nullptr;
  }
  VRDAllocatorRegion readOnly{r, reinterpret_cast<std::uint64_t>(readOnlyStart),
                              reinterpret_cast<std::uint64_t>(readOnlyStart)};
  auto* allocator = static_cast<VRDAllocator*>(VRDAllocatorSafeAllocateFromRegion(&readOnly, sizeof(VRDAllocator)));
  allocator->mappingStart = reinterpret_cast<std::uint64_t>(mapping);
  allocator->protectedFlag = 0;
  allocator->writable = {w, reinterpret_cast<std::uint64_t>(writableStart),
                         reinterpret_cast<std::uint64_t>(writableStart)};
  allocator->readOnly = readOnly;
  VRDLogDebug("Allocator successfully created %p\n", static_cast<void*>(allocator));
  return allocator;
}

void* VRDAllocatorSafeAllocateFromRegion(VRDAllocatorRegion* region, std::size_t size) noexcept {
  std::atomic_ref cursor(region->cursor);
  std::uint64_t current = cursor.load();
  for (;;) {
    const std::uint64_t block = alignUp(current);
    if (block - region->start + size > region->size) {
      VRDLogWarn("Unable to allocate sufficient memory, falling back to malloc\n");
      return std::malloc(size);
    }
    if (cursor.compare_exchange_weak(current, block + size)) return reinterpret_cast<void*>(block);
  }
}

void* VRDAllocatorSafeAllocate(VRDAllocator* allocator, std::size_t size, int type) noexcept {
  if (reinterpret_cast<std::uintptr_t>(allocator) < VRDMinimumValidAddress) {
    VRDLogWarn("Allocator invalid, falling back to malloc\n");
    return std::malloc(size);
  }
  if (std::atomic_ref(allocator->protectedFlag).load() != 0) {
    VRDLogWarn("Allocator already protected, falling back to malloc\n");
    return std::malloc(size);
  }
  switch (type) {
    case VRDAllocationTypeReadOnly: return VRDAllocatorSafeAllocateFromRegion(&allocator->readOnly, size);
    case VRDAllocationTypeWritable: return VRDAllocatorSafeAllocateFromRegion(&allocator->writable, size);
    default: return nullptr;
  }
}

bool VRDAllocatorProtect(VRDAllocator* allocator) noexcept {
  if (reinterpret_cast<std::uintptr_t>(allocator) < VRDMinimumValidAddress) {
    VRDLogError("Invalid allocator\n");
    return false;
  }
  if (std::atomic_ref(allocator->protectedFlag).load() != 0) {
    VRDLogWarn("Write protection already enabled");
    return true;
  }
  std::atomic_ref(allocator->protectedFlag).store(1);
  return mprotect(reinterpret_cast<void*>(allocator->readOnly.start), allocator->readOnly.size, PROT_READ) == 0;
}

void VRDAllocatorDestroy(VRDAllocator*) noexcept {}

}  // namespace crashreporting
