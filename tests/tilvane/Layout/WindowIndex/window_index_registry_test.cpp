#include <gtest/gtest.h>

#include <random>
#include <set>

#include "Layout/WindowIndex/WindowIndexRegistry.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

using Indexes = std::vector<std::int64_t>;

TEST(WindowIndexRegistry, HandsOutTheLowestFreeIndexPerApplication) {
  WindowIndexRegistry registry;
  EXPECT_FALSE(registry.indexes("a"));
  for (std::int64_t i : {3, 0, 1, 1}) registry.claim("a", i);
  EXPECT_EQ(registry.indexes("a"), (Indexes{0, 1, 3}));
  EXPECT_EQ(registry.lowestFreeIndex("a"), 2);
  EXPECT_EQ(registry.lowestFreeIndex("b"), 0);
  registry.release("a", 5);
  registry.release("a", 1);
  EXPECT_EQ(registry.indexes("a"), (Indexes{0, 3}));
  EXPECT_EQ(registry.lowestFreeIndex("a"), 1);
}

TEST(WindowIndexRegistry, TheFreeIndexesAreTheGapsWhateverHoldsAndGoes) {
  // Random claims and releases against the plain definition: the smallest index not held.
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  WindowIndexRegistry registry;
  std::set<std::int64_t> held;
  for (int step = 0; step < 2000; ++step) {
    const std::int64_t index = std::uniform_int_distribution<std::int64_t>(0, 40)(random);
    if (random() % 3 == 0) {
      registry.release("a", index);
      held.erase(index);
    } else {
      registry.claim("a", index);
      held.insert(index);
    }
    std::int64_t expected = 0;
    while (held.count(expected)) ++expected;
    ASSERT_EQ(registry.lowestFreeIndex("a"), expected) << "seed " << seed << ", step " << step;
    // And from any index on.
    std::int64_t next = index;
    while (held.count(next)) ++next;
    ASSERT_EQ(registry.nextFreeIndex("a", index), next) << "seed " << seed << ", step " << step;
    ASSERT_EQ(registry.isHeld("a", index), held.count(index) > 0);
  }
}

class WindowIndexClaimTest : public test::WindowWorld {
 protected:
  SIWindow window() {
    return SIWindow(apps().addWindow(apps().addApplication({.bundleIdentifier = "org.example.Editor"}), {}));
  }
};

TEST_F(WindowIndexClaimTest, AClaimGoesBackOnlyToTheRegistryItWasMadeIn) {
  const SIWindow first = window();
  const auto claim = WindowIndexRegistry::claimWindowIndex(first, 0);
  ASSERT_TRUE(claim);
  EXPECT_EQ(WindowIndexRegistry::registeredWindowIndexes(first), 1);

  WindowIndexRegistry::replaceCurrent();
  const SIWindow second = window();
  const auto newer = WindowIndexRegistry::claimWindowIndex(second, 0);
  WindowIndexRegistry::releaseWindowIndex(*claim);
  EXPECT_EQ(WindowIndexRegistry::current()->indexes("org.example.Editor"), Indexes{0})
      << "a release from before the replacement must not free the new holder's index";
  WindowIndexRegistry::releaseWindowIndex(*newer);
  EXPECT_EQ(WindowIndexRegistry::registeredWindowIndexes(second), 0);
}

}  // namespace
}  // namespace tilvane
