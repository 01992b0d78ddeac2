#include <ucontext.h>

#include <array>
#include <cstdint>
#include <vector>

#include "CodeWithoutUnwindInfo.h"
#include "crashreporting/Capture/VRDHandler.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDUnwind.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

// Walks made-up stacks: frames of saved frame pointer and return address, with code addresses taken from this
// program (so the image table knows them) where no DWARF frame describes them.
class Unwinder : public ContextTest {
 protected:
  void SetUp() override { ASSERT_TRUE(VRDContextInitialize(&data_)); }

  std::uint64_t code(int n) const {
    return reinterpret_cast<std::uint64_t>(crashreporting_test_code_without_unwind_info) + 16 * n;
  }
  std::uint64_t slot(std::size_t i) { return reinterpret_cast<std::uint64_t>(&stack_[i]); }
  // A frame at index i: saved frame pointer (the frame at `caller`, or 0) and return address.
  void frame(std::size_t i, std::size_t caller, std::uint64_t returnAddress) {
    stack_[i] = caller == 0 ? 0 : slot(caller);
    stack_[i + 1] = returnAddress;
  }
  VRDThreadState state(std::uint64_t pc, std::size_t sp, std::size_t fp) {
    VRDThreadState s{};
    s.registers[VRDRegisterRIP] = pc;
    s.registers[VRDRegisterRSP] = slot(sp);
    s.registers[VRDRegisterRBP] = slot(fp);
    return s;
  }
  std::vector<std::uint64_t> walk(const VRDThreadState& s) {
    VRDUnwindContext context;
    EXPECT_TRUE(VRDUnwindInit(&context, &s));
    std::vector<std::uint64_t> pcs;
    while (VRDUnwindNextFrame(&context) && pcs.size() < 100) pcs.push_back(VRDUnwindGetPC(&context));
    return pcs;
  }

  alignas(16) std::array<std::uint64_t, 256> stack_{};
};

TEST_F(Unwinder, FollowsTheFramePointerChainFromTheExactPCUntilAZeroFramePointer) {
  frame(10, 20, code(1));
  frame(20, 30, code(2));
  frame(30, 0, code(3));
  EXPECT_EQ(walk(state(code(0), 4, 10)), (std::vector{code(0), code(1), code(2), code(3)}));
}

TEST_F(Unwinder, ScansTheStackForTheSecondFrameOfAFunctionWithoutAFrame) {
  frame(10, 20, code(1));
  frame(20, 0, code(2));
  stack_[5] = 12345;     // not code
  stack_[6] = code(9);   // the leaf's return address
  EXPECT_EQ(walk(state(code(0), 4, 10)), (std::vector{code(0), code(9), code(1), code(2)}));
}

TEST_F(Unwinder, EndsAChainThatDoesNotClimbAndRefusesInvalidRegisters) {
  frame(10, 20, code(1));
  frame(20, 10, code(2));  // points back down
  EXPECT_EQ(walk(state(code(0), 4, 10)), (std::vector{code(0), code(1), code(2)}));
  VRDThreadState noStack = state(code(0), 4, 10);
  noStack.registers[VRDRegisterRSP] = 8;
  EXPECT_TRUE(walk(noStack).empty());
  // A frame pointer below SP is no frame pointer: the second frame comes from the bounded scan (code(1) at
  // slot 11), and the unreadable chain ends the walk after it.
  VRDThreadState badFrame = state(code(0), 4, 10);
  badFrame.registers[VRDRegisterRBP] = 4096 * 3;
  EXPECT_EQ(walk(badFrame), (std::vector{code(0), code(1)}));
}

TEST_F(Unwinder, AnInvalidFirstPCIsFrameZeroAndItsCallerComesFromTheStackPointer) {
  // A call through a null pointer: the call's return address is at SP, the caller's frame above it.
  stack_[4] = code(1);
  frame(10, 20, code(2));
  frame(20, 0, code(3));
  EXPECT_EQ(walk(state(0, 4, 10)), (std::vector<std::uint64_t>{0, code(1), code(2), code(3)}));
  EXPECT_EQ(walk(state(100, 4, 10)), (std::vector<std::uint64_t>{100, code(1), code(2), code(3)}));
  // Nothing readable at SP: frame 0 alone.
  VRDThreadState unreadable = state(0, 4, 10);
  unreadable.registers[VRDRegisterRSP] = 4096 * 3;
  EXPECT_EQ(walk(unreadable), (std::vector<std::uint64_t>{0}));
}

TEST_F(Unwinder, TheThreadRecordCutsARunOfOneRepeatedFrame) {
  // Frame 0 at code(0), then 15 frames returning to code(5), then code(6) and code(7).
  for (std::size_t i = 0; i < 15; ++i) frame(10 + 4 * i, 10 + 4 * (i + 1), code(5));
  frame(70, 74, code(6));
  frame(74, 0, code(7));
  ucontext_t context{};
  context.uc_mcontext.gregs[REG_RIP] = static_cast<greg_t>(code(0));
  context.uc_mcontext.gregs[REG_RSP] = static_cast<greg_t>(slot(10));
  context.uc_mcontext.gregs[REG_RBP] = static_cast<greg_t>(slot(10));
  context.uc_mcontext.gregs[REG_RAX] = 77;

  const auto path = temp_.path() / "threads.vrdrecord";
  VRDFile file;
  ASSERT_TRUE(VRDFileInitWithPath(&file, path.c_str(), false));
  VRDHandler(&file, VRDCurrentThreadID(), &context);
  ASSERT_TRUE(VRDFileClose(&file));

  const auto lines = recordLines(path);
  ASSERT_EQ(lines.size(), 6u) << "threads, runtime, queue and thread names, process figures, storage";
  // The test's other threads cannot be stopped here (no capture signal while a debugger is assumed): they keep
  // their places with empty states.
  nlohmann::json thread;
  for (const auto& candidate : lines[0]["threads"]) {
    if (candidate.contains("crashed")) {
      thread = candidate;
    } else {
      EXPECT_EQ(candidate, nlohmann::json::parse(R"({"registers":{},"stacktrace":[]})"));
    }
  }
  EXPECT_EQ(thread["registers"]["rax"], 77);
  EXPECT_EQ(thread["registers"]["rip"].get<std::uint64_t>(), code(0));
  EXPECT_EQ(thread["registers"].size(), VRDGeneralRegisterCount);
  EXPECT_EQ(thread["crashed"], true);
  std::vector<std::uint64_t> expected{code(0)};
  expected.insert(expected.end(), VRDRepeatedFrameThreshold, code(5));
  expected.push_back(code(6));
  expected.push_back(code(7));
  EXPECT_EQ(thread["stacktrace"].get<std::vector<std::uint64_t>>(), expected);
  EXPECT_EQ(thread["repeated_pc"].get<std::uint64_t>(), code(5));
  EXPECT_EQ(thread["repeat_count"], 14);
  EXPECT_EQ(VRDContextWritable()->minimumLogLevel, VRDLogLevelDebug) << "the log level is back";
}

}  // namespace
}  // namespace crashreporting::test
