#include "FramePointerFrames.h"

#include <unwind.h>

#include "crashreporting/Capture/VRDHandler.h"

namespace crashreporting::test {
namespace {

volatile int sink = 0;

_Unwind_Reason_Code collect(_Unwind_Context* context, void* argument) {
  const std::uint64_t ip = _Unwind_GetIP(context);
  if (ip == 0) return _URC_END_OF_STACK;
  static_cast<std::vector<std::uint64_t>*>(argument)->push_back(ip);
  return _URC_NO_REASON;
}

__attribute__((noinline)) bool takeState(OwnStateProbe probe, void* argument, std::vector<std::uint64_t>* runtime) {
  VRDProcess process;
  if (!VRDProcessInit(&process, VRDCurrentThreadID(), nullptr)) return false;
  VRDThreadState state;
  const bool taken = VRDProcessGetThreadState(&process, process.currentThread, &state);
  VRDProcessDestroy(&process);
  if (taken) probe(state, argument);
  _Unwind_Backtrace(collect, runtime);
  return taken;
}

__attribute__((noinline)) bool level(int depth, OwnStateProbe probe, void* argument,
                                     std::vector<std::uint64_t>* runtime) {
  const bool taken = depth == 0 ? takeState(probe, argument, runtime) : level(depth - 1, probe, argument, runtime);
  return taken && sink == 0;
}

}  // namespace

bool framePointerOwnState(int depth, OwnStateProbe probe, void* argument, std::vector<std::uint64_t>* runtime) {
  return level(depth, probe, argument, runtime) && sink == 0;
}

}  // namespace crashreporting::test
