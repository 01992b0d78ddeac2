#include "crashreporting/Capture/VRDHost.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace crashreporting {
namespace {

// Where the call returns to: inside this function, after its first instruction.
__attribute__((noinline)) std::uintptr_t returnAddressHere(std::uintptr_t* start) {
  *start = reinterpret_cast<std::uintptr_t>(&returnAddressHere);
  return VRDProcessGetCurrentPC();
}

TEST(ProcessFacts, TheCurrentPCIsTheCallersReturnAddress) {
  std::uintptr_t start = 0;
  const std::uintptr_t pc = returnAddressHere(&start);
  EXPECT_GT(pc, start);
  EXPECT_LT(pc, start + 256) << "a short function holds its own call site";
  EXPECT_NE(VRDProcessGetCurrentPC(), pc) << "another call site, another address";
}

}  // namespace
}  // namespace crashreporting
