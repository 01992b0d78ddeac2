#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "AppManager/Store/PositionIndex.h"

namespace tilvane::test {
namespace {

std::vector<PositionIndex::Position> held(PositionIndex& index, std::uint64_t key) {
  std::vector<PositionIndex::Position> out;
  index.visit(key, [&](PositionIndex::Position& p) {
    out.push_back(p);
    return true;
  });
  std::sort(out.begin(), out.end());
  return out;
}

// Keys of a few values each, added, changed in place and erased at random, with the table regrown many times:
// every key always holds what a plain multimap holds. Few distinct keys make long runs of collisions.
TEST(PositionIndexTest, HoldsWhatAMultimapHoldsThroughInsertsChangesAndErasures) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  for (const std::uint64_t keys : {3ull, 64ull, 5000ull}) {
    PositionIndex index;
    std::multimap<std::uint64_t, PositionIndex::Position> expected;
    for (PositionIndex::Position step = 0; step < 20000; ++step) {
      const std::uint64_t key = random() % keys * 0x100000001ull;  // high bits too
      const int action = static_cast<int>(random() % 10);
      if (action < 6) {
        index.insert(key, step);
        expected.emplace(key, step);
      } else if (action < 9) {
        const auto [from, to] = expected.equal_range(key);
        if (from == to) {
          EXPECT_FALSE(index.erase(key, step));
          continue;
        }
        const auto victim = std::next(from, static_cast<long>(random() % std::distance(from, to)));
        ASSERT_TRUE(index.erase(key, victim->second));
        expected.erase(victim);
      } else {
        // The first position held is moved on in place.
        PositionIndex::Position* p = index.find(key);
        const auto [from, to] = expected.equal_range(key);
        ASSERT_EQ(p != nullptr, from != to);
        if (!p) continue;
        const auto it = std::find_if(from, to, [&](const auto& e) { return e.second == *p; });
        ASSERT_NE(it, to);
        it->second = *p = step + 1000000;
      }
    }
    EXPECT_EQ(index.size(), expected.size());
    for (std::uint64_t k = 0; k < keys; ++k) {
      const std::uint64_t key = k * 0x100000001ull;
      std::vector<PositionIndex::Position> want;
      const auto [from, to] = expected.equal_range(key);
      for (auto it = from; it != to; ++it) want.push_back(it->second);
      std::sort(want.begin(), want.end());
      ASSERT_EQ(held(index, key), want) << "key " << k << " of " << keys;
    }
  }
}

TEST(PositionIndexTest, AnEmptyIndexAndAnAbsentKeyHoldNothing) {
  PositionIndex index;
  EXPECT_TRUE(held(index, 7).empty());
  EXPECT_FALSE(index.erase(7, 0));
  index.insert(7, 1);
  EXPECT_FALSE(index.erase(7, 2)) << "another position of the key";
  EXPECT_FALSE(index.erase(8, 1)) << "another key at the position";
  EXPECT_EQ(held(index, 7), std::vector<PositionIndex::Position>{1});
}

}  // namespace
}  // namespace tilvane::test
