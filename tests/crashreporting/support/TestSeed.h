#pragma once

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

namespace crashreporting::test {

/// The seed of a random test: TILVANE_TEST_SEED when it is set (a number replays a failure, "random" draws a
/// new seed), the test's own otherwise. Put `seedNote` in a SCOPED_TRACE so every failure prints it.
inline std::uint64_t testSeed(std::uint64_t own) {
  const char* chosen = std::getenv("TILVANE_TEST_SEED");
  if (chosen == nullptr || *chosen == '\0') return own;
  if (std::string(chosen) == "random") return (std::uint64_t{std::random_device{}()} << 32) | std::random_device{}();
  return std::strtoull(chosen, nullptr, 10);
}

inline std::string seedNote(std::uint64_t seed) {
  return "seed " + std::to_string(seed) + " (replay with TILVANE_TEST_SEED=" + std::to_string(seed) + ")";
}

}  // namespace crashreporting::test
