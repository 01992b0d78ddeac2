#include <ucontext.h>
#include <unwind.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "FramePointerFrames.h"
#include "UnwindFrames.h"
#include "crashreporting/Capture/VRDThreadState.h"
#include "crashreporting/Capture/VRDUnwind.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

// Both unwinders on the same frames: the probe captures its registers with getcontext and asks the compiler
// runtime's unwinder from the same place; both lists start with a PC in the probe itself, which differ, so
// what is compared is every return address after it.
struct Traces {
  std::vector<std::uint64_t> ours;
  std::vector<std::uint64_t> cached;  // a second walk with the first one's cache, as a capture's threads share it
  std::vector<std::uint64_t> runtime;
};

std::vector<std::uint64_t> walk(const VRDThreadState& state, VRDUnwindCache* cache) {
  std::vector<std::uint64_t> pcs;
  VRDUnwindContext unwind;
  if (VRDUnwindInit(&unwind, &state, cache)) {
    while (pcs.size() < 512 && VRDUnwindNextFrame(&unwind)) pcs.push_back(VRDUnwindGetPC(&unwind));
  }
  return pcs;
}

// The runtime reports the outermost frame (no return address) as 0; ours ends before it.
_Unwind_Reason_Code collect(_Unwind_Context* context, void* argument) {
  const std::uint64_t ip = _Unwind_GetIP(context);
  if (ip == 0) return _URC_END_OF_STACK;
  static_cast<std::vector<std::uint64_t>*>(argument)->push_back(ip);
  return _URC_NO_REASON;
}

__attribute__((noinline)) void probe(void* argument) {
  auto* traces = static_cast<Traces*>(argument);
  ucontext_t context;
  getcontext(&context);
  VRDThreadState state;
  if (VRDThreadStateFromUserContext(&context, &state)) {
    traces->ours = walk(state, nullptr);
    auto cache = std::make_unique<VRDUnwindCache>();
    VRDUnwindCacheReset(cache.get());
    walk(state, cache.get());
    traces->cached = walk(state, cache.get());
  }
  _Unwind_Backtrace(collect, &traces->runtime);
}

std::vector<std::uint64_t> afterProbe(const std::vector<std::uint64_t>& trace) {
  return trace.size() < 2 ? std::vector<std::uint64_t>{} : std::vector<std::uint64_t>(trace.begin() + 1, trace.end());
}

class DwarfUnwinder : public ContextTest {
 protected:
  void SetUp() override { ASSERT_TRUE(VRDContextInitialize(&data_)); }
};

TEST_F(DwarfUnwinder, EqualsTheRuntimeUnwinderThroughFramesWithoutFramePointers) {
  Traces traces;
  unwindFramesFiveDeep(probe, &traces, 3);
  ASSERT_GE(traces.runtime.size(), 8u);
  EXPECT_EQ(afterProbe(traces.ours), afterProbe(traces.runtime));
  EXPECT_EQ(traces.cached, traces.ours);
}

TEST_F(DwarfUnwinder, EqualsTheRuntimeUnwinderThroughALibcCallback) {
  Traces traces;
  unwindFramesThroughQsort(probe, &traces, 5);
  ASSERT_GE(traces.runtime.size(), 8u);
  EXPECT_EQ(afterProbe(traces.ours), afterProbe(traces.runtime));
  EXPECT_EQ(traces.cached, traces.ours);
}

// A capture's own thread in code built with frame pointers: its first frame is the capturing function's caller,
// and no frame repeats or fails to unwind. The runtime's list, taken in the probe, starts with the probe's frames
// and a different call site in that caller: every frame of ours after the first is the end of the runtime's.
TEST_F(DwarfUnwinder, TheRecordingThreadsOwnStateInFramePointerCodeUnwindsLikeTheRuntime) {
  Traces traces;
  const OwnStateProbe fromState = [](const VRDThreadState& state, void* argument) {
    auto* traces = static_cast<Traces*>(argument);
    traces->ours = walk(state, nullptr);
    _Unwind_Backtrace(collect, &traces->runtime);
  };
  ASSERT_TRUE(framePointerOwnState(3, fromState, &traces));
  ASSERT_GE(traces.ours.size(), 8u);
  ASSERT_GE(traces.runtime.size(), traces.ours.size());
  EXPECT_NE(traces.ours[0], traces.ours[1]);
  const std::vector<std::uint64_t> runtimeEnd(traces.runtime.end() - static_cast<std::ptrdiff_t>(traces.ours.size() - 1),
                                              traces.runtime.end());
  EXPECT_EQ(afterProbe(traces.ours), runtimeEnd);
  const std::string log = readText(temp_.path() / "sdk.log");
  EXPECT_EQ(log.find("Stack pointer hasn't changed"), std::string::npos) << log;
  EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
}

}  // namespace
}  // namespace crashreporting::test
