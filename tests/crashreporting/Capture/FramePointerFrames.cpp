#include "FramePointerFrames.h"

#include "crashreporting/Capture/VRDHandler.h"

namespace crashreporting::test {
namespace {

volatile int sink = 0;

__attribute__((noinline)) bool takeState(OwnStateProbe probe, void* argument) {
  VRDProcess process;
  if (!VRDProcessInit(&process, VRDCurrentThreadID(), nullptr)) return false;
  VRDThreadState state;
  const bool taken = VRDProcessGetThreadState(&process, process.currentThread, &state);
  VRDProcessDestroy(&process);
  if (taken) probe(state, argument);
  return taken && sink == 0;
}

__attribute__((noinline)) bool level(int depth, OwnStateProbe probe, void* argument) {
  const bool taken = depth == 0 ? takeState(probe, argument) : level(depth - 1, probe, argument);
  return taken && sink == 0;
}

}  // namespace

bool framePointerOwnState(int depth, OwnStateProbe probe, void* argument) {
  return level(depth, probe, argument) && sink == 0;
}

}  // namespace crashreporting::test
