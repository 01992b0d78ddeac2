#include "UnwindFrames.h"

#include <cstdlib>

namespace crashreporting::test {
namespace {

// Volatile state keeps each call from being folded away or turned into a jump.
volatile int sink = 0;
UnwindProbe qsortProbe = nullptr;
void* qsortArgument = nullptr;

__attribute__((noinline)) int level5(UnwindProbe probe, void* argument, int seed) {
  volatile char pad[40];
  pad[seed & 31] = static_cast<char>(seed);
  probe(argument);
  return pad[seed & 31] + sink;
}
__attribute__((noinline)) int level4(UnwindProbe probe, void* argument, int seed) {
  return level5(probe, argument, seed * 3 + 1) + sink;
}
__attribute__((noinline)) int level3(UnwindProbe probe, void* argument, int seed) {
  return level4(probe, argument, seed + 7) * 2 + sink;
}
__attribute__((noinline)) int level2(UnwindProbe probe, void* argument, int seed) {
  return level3(probe, argument, seed ^ 5) + sink;
}
__attribute__((noinline)) int level1(UnwindProbe probe, void* argument, int seed) {
  return level2(probe, argument, seed + 2) - sink;
}

int compare(const void* a, const void* b) {
  const int x = *static_cast<const int*>(a);
  const int y = *static_cast<const int*>(b);
  if (qsortProbe != nullptr) {
    const UnwindProbe probe = qsortProbe;
    qsortProbe = nullptr;
    sink = level4(probe, qsortArgument, x);
  }
  return (x > y) - (x < y);
}

__attribute__((noinline)) int sortLevel3(int seed) {
  int values[8] = {seed, 7, 3, 9, 1, 4, 8, 2};
  std::qsort(values, 8, sizeof(int), compare);
  return values[0] + sink;
}
__attribute__((noinline)) int sortLevel2(int seed) { return sortLevel3(seed + 1) + sink; }
__attribute__((noinline)) int sortLevel1(int seed) { return sortLevel2(seed * 2) - sink; }

}  // namespace

int unwindFramesFiveDeep(UnwindProbe probe, void* argument, int seed) { return level1(probe, argument, seed) + sink; }

int unwindFramesThroughQsort(UnwindProbe probe, void* argument, int seed) {
  qsortProbe = probe;
  qsortArgument = argument;
  return sortLevel1(seed) + sink;
}

}  // namespace crashreporting::test
