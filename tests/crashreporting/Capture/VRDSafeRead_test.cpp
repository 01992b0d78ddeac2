#include <signal.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "crashreporting/Capture/VRDAllocator.h"
#include "crashreporting/Capture/VRDReadablePages.h"
#include "crashreporting/Capture/VRDSafeRead.h"
#include "crashreporting/Capture/VRDUtilities.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

// A page that is mapped but unreadable, and the address of one that is not mapped at all.
struct BadPages {
  BadPages() {
    page = VRDHostGetPageSize();
    auto* two = static_cast<char*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_ANONYMOUS | MAP_PRIVATE, -1, 0));
    mprotect(two, page, PROT_NONE);
    munmap(two + page, page);
    noAccess = reinterpret_cast<std::uint64_t>(two);
    unmapped = noAccess + page;
  }
  ~BadPages() { munmap(reinterpret_cast<void*>(noAccess), page); }
  std::uint64_t page;
  std::uint64_t noAccess;
  std::uint64_t unmapped;
};

bool canWrite(std::uint64_t address) {
  char byte = 1;
  iovec local{&byte, 1};
  iovec remote{reinterpret_cast<void*>(address), 1};
  return process_vm_writev(getpid(), &local, 1, &remote, 1, 0) == 1;
}

TEST(SafeRead, ReadsGoodMemoryAndRefusesLowUnmappedAndUnreadableAddressesWithoutFaulting) {
  const BadPages bad;
  for (auto read : {VRDReadMemory, VRDReadMemoryThroughPipe}) {
    const char source[] = "readable";
    char copy[sizeof source] = {};
    EXPECT_TRUE(read(reinterpret_cast<std::uint64_t>(source), copy, sizeof source));
    EXPECT_STREQ(copy, "readable");
    std::uint64_t word = 0;
    EXPECT_FALSE(read(8, &word, sizeof word));
    EXPECT_FALSE(read(bad.unmapped, &word, sizeof word));
    EXPECT_FALSE(read(bad.noAccess, &word, sizeof word));
    // A read that runs off the end of readable memory fails as a whole.
    EXPECT_FALSE(read(bad.noAccess - 4, &word, sizeof word));
  }
}

// The probe behind the unwinder's page proofs: readable, low, unmapped, unreadable and straddling memory each
// get the right answer, and the signal mask it hands to the kernel as a bait never becomes the thread's.
TEST(SafeRead, ProbeAnswersLikeAReadAndLeavesTheSignalMaskAlone) {
  const BadPages bad;
  sigset_t before;
  ASSERT_EQ(pthread_sigmask(SIG_SETMASK, nullptr, &before), 0);
  sigset_t everything;
  sigfillset(&everything);
  EXPECT_TRUE(VRDProbeReadable(reinterpret_cast<std::uint64_t>(&everything)));
  EXPECT_FALSE(VRDProbeReadable(8));
  EXPECT_FALSE(VRDProbeReadable(bad.unmapped));
  EXPECT_FALSE(VRDProbeReadable(bad.noAccess));
  EXPECT_FALSE(VRDProbeReadable(bad.noAccess - 4));
  EXPECT_FALSE(VRDProbeReadable(~std::uint64_t{0} - 3));
  sigset_t after;
  ASSERT_EQ(pthread_sigmask(SIG_SETMASK, nullptr, &after), 0);
  for (int signal = 1; signal < NSIG; ++signal) EXPECT_EQ(sigismember(&after, signal), sigismember(&before, signal)) << signal;
}

// Proved pages are kept and read without a proof; an unreadable page is refused, also at the end of a read that
// starts on a proved one, and never kept.
TEST(ReadablePages, KeepsOnlyThePagesItProvedReadable) {
  const BadPages bad;
  auto* two = static_cast<char*>(mmap(nullptr, 2 * bad.page, PROT_READ | PROT_WRITE, MAP_ANONYMOUS | MAP_PRIVATE, -1, 0));
  ASSERT_NE(two, MAP_FAILED);
  std::memcpy(two + bad.page - 8, "12345678", 8);
  mprotect(two + bad.page, bad.page, PROT_NONE);
  const auto first = reinterpret_cast<std::uint64_t>(two) / VRDReadablePageSize;
  const auto slot = [](std::uint64_t page) { return page % VRDReadablePages::kSlots; };
  VRDReadablePages pages;
  VRDReadablePagesReset(&pages);
  char word[8] = {};
  EXPECT_TRUE(VRDReadablePagesRead(&pages, reinterpret_cast<std::uint64_t>(two) + bad.page - 8, word, 8));
  EXPECT_EQ(std::memcmp(word, "12345678", 8), 0);
  EXPECT_EQ(pages.pages[slot(first)], first + 1);
  EXPECT_FALSE(VRDReadablePagesRead(&pages, reinterpret_cast<std::uint64_t>(two) + bad.page - 4, word, 8));
  EXPECT_FALSE(VRDReadablePagesRead(&pages, reinterpret_cast<std::uint64_t>(two) + bad.page, word, 1));
  EXPECT_EQ(pages.pages[slot(first + 1)], 0u);
  EXPECT_FALSE(VRDReadablePagesRead(&pages, bad.unmapped, word, 1));
  VRDReadablePagesReset(&pages);
  EXPECT_EQ(pages.pages[slot(first)], 0u);
  munmap(two, 2 * bad.page);
}

// A proof that reaches across into the next page proves that one too; one whose next page is unreadable still
// proves its own.
TEST(ReadablePages, OneProofCoversTheNextPageWhenItIsReadable) {
  const std::uint64_t size = VRDReadablePageSize;
  auto* three = static_cast<char*>(mmap(nullptr, 3 * size, PROT_READ | PROT_WRITE, MAP_ANONYMOUS | MAP_PRIVATE, -1, 0));
  ASSERT_NE(three, MAP_FAILED);
  mprotect(three + 2 * size, size, PROT_NONE);
  const auto first = reinterpret_cast<std::uint64_t>(three) / size;
  const auto slot = [](std::uint64_t page) { return page % VRDReadablePages::kSlots; };
  VRDReadablePages pages;
  VRDReadablePagesReset(&pages);
  char byte = 0;
  EXPECT_TRUE(VRDReadablePagesRead(&pages, first * size + 100, &byte, 1));
  EXPECT_EQ(pages.pages[slot(first)], first + 1);
  EXPECT_EQ(pages.pages[slot(first + 1)], first + 2);
  VRDReadablePagesReset(&pages);
  EXPECT_TRUE(VRDReadablePagesRead(&pages, (first + 1) * size + 100, &byte, 1));
  EXPECT_EQ(pages.pages[slot(first + 1)], first + 2);
  EXPECT_EQ(pages.pages[slot(first + 2)], 0u);
  EXPECT_FALSE(VRDReadablePagesRead(&pages, (first + 2) * size, &byte, 1));
  munmap(three, 3 * size);
}

// A trusted range is taken as readable without a proof (here an unreadable page, which a proof would refuse:
// trust is for memory known to be mapped), only within its bounds, only up to the room for ranges, and only until
// the next reset.
TEST(ReadablePages, TakesATrustedRangeWithoutAProofUntilReset) {
  const BadPages bad;
  VRDReadablePages pages;
  VRDReadablePagesReset(&pages);
  EXPECT_FALSE(VRDReadablePagesProve(&pages, bad.noAccess, 8));
  VRDReadablePagesTrust(&pages, bad.noAccess + 16, bad.noAccess + 32);
  EXPECT_TRUE(VRDReadablePagesProve(&pages, bad.noAccess, 8)) << "the whole page of a trusted byte";
  EXPECT_FALSE(VRDReadablePagesProve(&pages, bad.unmapped, 8)) << "the page after the range";
  VRDReadablePagesReset(&pages);
  EXPECT_FALSE(VRDReadablePagesProve(&pages, bad.noAccess, 8));
  for (std::size_t i = 0; i < VRDReadablePages::kTrustedRanges; ++i) {
    VRDReadablePagesTrust(&pages, 0x10000 * (i + 1), 0x10000 * (i + 1) + 8);
  }
  VRDReadablePagesTrust(&pages, bad.noAccess, bad.noAccess + bad.page);
  EXPECT_FALSE(VRDReadablePagesProve(&pages, bad.noAccess, 8)) << "no room left: proved as usual";
  VRDReadablePagesReset(&pages);
  VRDReadablePagesTrust(&pages, bad.noAccess + 8, bad.noAccess + 8);
  VRDReadablePagesTrust(&pages, 8, 4096);
  EXPECT_FALSE(VRDReadablePagesProve(&pages, bad.noAccess, 8)) << "an empty range";
  EXPECT_EQ(pages.trustedCount, 0u) << "nor one that starts below the lowest valid address";
}

TEST(SafeRead, ProbesStringsUpToTheirEndOrTheMaximum) {
  const BadPages bad;
  const char text[] = "name";
  const char* out = nullptr;
  EXPECT_TRUE(VRDReadString(reinterpret_cast<std::uint64_t>(text), &out, 128));
  EXPECT_EQ(out, text);
  EXPECT_FALSE(VRDReadString(bad.noAccess, &out, 128));
  EXPECT_TRUE(VRDReadString(bad.noAccess, &out, 0));
  // The last readable bytes before an unreadable page, without a NUL, read up to the maximum only.
  auto* page = static_cast<char*>(mmap(nullptr, 2 * bad.page, PROT_READ | PROT_WRITE, MAP_ANONYMOUS | MAP_PRIVATE, -1, 0));
  std::memset(page, 'x', bad.page);
  mprotect(page + bad.page, bad.page, PROT_NONE);
  const auto tail = reinterpret_cast<std::uint64_t>(page + bad.page - 4);
  EXPECT_TRUE(VRDReadString(tail, &out, 4));
  EXPECT_FALSE(VRDReadString(tail, &out, 5));
  munmap(page, 2 * bad.page);
}

TEST(Allocator, RegionSizesAlwaysGetOnePageMore) {
  EXPECT_EQ(VRDAllocatorWritableRegionSize(0, 4096), 0u);
  EXPECT_EQ(VRDAllocatorWritableRegionSize(1, 4096), 4096u);
  EXPECT_EQ(VRDAllocatorWritableRegionSize(4096, 4096), 8192u);
  EXPECT_EQ(VRDAllocatorReadOnlyRegionSize(0, 4096), 4096u);
  EXPECT_EQ(VRDAllocatorReadOnlyRegionSize(4096 - 64, 4096), 8192u);
}

TEST(Allocator, BlocksAreAlignedGuardedAndFallBackToTheHeapWhenARegionRunsOut) {
  VRDAllocator* allocator = VRDAllocatorCreate(100, 100);
  ASSERT_NE(allocator, nullptr);
  const std::uint64_t page = VRDHostGetPageSize();
  const std::uint64_t writableStart = allocator->writable.start;
  EXPECT_EQ(writableStart, allocator->mappingStart + page);
  EXPECT_EQ(allocator->readOnly.start, writableStart + allocator->writable.size + page);
  EXPECT_EQ(reinterpret_cast<std::uint64_t>(allocator), allocator->readOnly.start);

  void* odd = VRDAllocatorSafeAllocate(allocator, 3, VRDAllocationTypeWritable);
  void* next = VRDAllocatorSafeAllocate(allocator, 8, VRDAllocationTypeWritable);
  void* readOnly = VRDAllocatorSafeAllocate(allocator, 5, VRDAllocationTypeReadOnly);
  EXPECT_EQ(reinterpret_cast<std::uint64_t>(odd), writableStart);
  EXPECT_EQ(reinterpret_cast<std::uint64_t>(next), writableStart + 16);
  EXPECT_EQ(reinterpret_cast<std::uint64_t>(readOnly) % 16, 0u);
  EXPECT_EQ(VRDAllocatorSafeAllocate(allocator, 8, 7), nullptr);

  void* tooBig = VRDAllocatorSafeAllocate(allocator, page * 4, VRDAllocationTypeWritable);
  ASSERT_NE(tooBig, nullptr);
  const auto bigAddress = reinterpret_cast<std::uint64_t>(tooBig);
  EXPECT_TRUE(bigAddress < allocator->mappingStart || bigAddress >= allocator->readOnly.start + allocator->readOnly.size);
  std::free(tooBig);
  void* small = VRDAllocatorSafeAllocate(allocator, 8, VRDAllocationTypeWritable);
  EXPECT_EQ(reinterpret_cast<std::uint64_t>(small), writableStart + 32);

  std::uint64_t word = 0;
  EXPECT_FALSE(VRDReadMemory(allocator->mappingStart, &word, sizeof word));
  EXPECT_FALSE(VRDReadMemory(writableStart + allocator->writable.size, &word, sizeof word));
  EXPECT_FALSE(VRDReadMemory(allocator->readOnly.start + allocator->readOnly.size, &word, sizeof word));

  EXPECT_TRUE(canWrite(reinterpret_cast<std::uint64_t>(readOnly)));
  EXPECT_TRUE(VRDAllocatorProtect(allocator));
  EXPECT_FALSE(canWrite(reinterpret_cast<std::uint64_t>(readOnly)));
  EXPECT_TRUE(canWrite(reinterpret_cast<std::uint64_t>(odd)));
  EXPECT_TRUE(VRDAllocatorProtect(allocator));
  void* afterProtection = VRDAllocatorSafeAllocate(allocator, 8, VRDAllocationTypeWritable);
  EXPECT_TRUE(canWrite(reinterpret_cast<std::uint64_t>(afterProtection)));
  std::free(afterProtection);
  EXPECT_FALSE(VRDAllocatorProtect(nullptr));
}

TEST(Allocator, AnEmptyWritableRegionStillLeavesTheReadOnlyOne) {
  VRDAllocator* allocator = VRDAllocatorCreate(0, 0);
  ASSERT_NE(allocator, nullptr);
  EXPECT_EQ(allocator->writable.size, 0u);
  EXPECT_EQ(allocator->readOnly.size, VRDHostGetPageSize());
  void* fromHeap = VRDAllocatorSafeAllocate(allocator, 1, VRDAllocationTypeWritable);
  EXPECT_NE(fromHeap, nullptr);
  std::free(fromHeap);
}

}  // namespace
}  // namespace crashreporting::test
