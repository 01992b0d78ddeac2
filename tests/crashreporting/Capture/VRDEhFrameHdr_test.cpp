#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "crashreporting/Capture/VRDEhFrameHdr.h"
#include "crashreporting/support/TestSeed.h"

namespace crashreporting::test {
namespace {

// Random sorted tables of up to a few pages: every search finds the last entry that starts at or below the PC
// (none below the first), with no hint, with any hint, and from the entry the search before found.
TEST(EhFrameHdr, EverySearchFindsTheLastEntryAtOrBelowThePCFromAnyHint) {
  const std::uint64_t seed = testSeed(37);
  SCOPED_TRACE(seedNote(seed));
  std::mt19937_64 random(seed);
  for (int table = 0; table < 60; ++table) {
    SCOPED_TRACE("table " + std::to_string(table));
    const std::uint32_t count = 1 + static_cast<std::uint32_t>(random() % (table % 3 == 0 ? 8 : 3000));
    std::set<std::int32_t> distinct;
    while (distinct.size() < count) distinct.insert(static_cast<std::int32_t>(random() % 400000) - 100000);
    const std::vector<std::int32_t> starts(distinct.begin(), distinct.end());
    std::vector<std::uint8_t> bytes(12 + 8 * std::size_t{count});
    const std::uint8_t head[] = {1, 0x1b, 0x03, 0x3b};
    std::memcpy(bytes.data(), head, sizeof head);
    std::memcpy(bytes.data() + 8, &count, 4);
    for (std::uint32_t i = 0; i < count; ++i) {
      const auto fde = static_cast<std::int32_t>(0x100000 + i);
      std::memcpy(bytes.data() + 12 + 8 * i, &starts[i], 4);
      std::memcpy(bytes.data() + 16 + 8 * i, &fde, 4);
    }
    const auto header = reinterpret_cast<std::uint64_t>(bytes.data());
    VRDReadablePages pages;
    VRDReadablePagesReset(&pages);
    VRDEhFrameHdrTable found{};
    ASSERT_TRUE(VRDEhFrameHdrReadTable(header, &found, &pages));
    ASSERT_EQ(found.count, count);
    std::uint64_t chained = found.lastFound;
    for (int search = 0; search < 200; ++search) {
      const std::int64_t offset = static_cast<std::int64_t>(random() % 420000) - 110000;
      const std::uint64_t pc = header + static_cast<std::uint64_t>(offset);
      const auto after = std::upper_bound(starts.begin(), starts.end(), offset);
      const bool expected = after != starts.begin();
      const std::uint64_t expectedFDE = header + 0x100000 + static_cast<std::uint64_t>(after - starts.begin() - 1);
      std::uint64_t any = random() % count;
      for (std::uint64_t* hint : {static_cast<std::uint64_t*>(nullptr), &any, &chained}) {
        for (VRDReadablePages* proofs : {&pages, static_cast<VRDReadablePages*>(nullptr)}) {
          std::uint64_t hinted = hint == nullptr ? 0 : *hint;
          std::uint64_t fde = 0;
          const bool result = VRDEhFrameHdrFindFDEAddress(&found, pc, &fde, proofs, hint == nullptr ? nullptr : &hinted);
          ASSERT_EQ(result, expected) << offset;
          if (expected) {
            ASSERT_EQ(fde, expectedFDE) << offset;
          }
          if (hint == &chained && result) chained = hinted;
        }
      }
    }
  }
}

}  // namespace
}  // namespace crashreporting::test
