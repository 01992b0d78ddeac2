// A small library the tests load and unload at run time, and in which the crash driver places a frame that a
// later process does not have loaded. Built with frame pointers so the unwinder can walk through it.
#include <stdint.h>
#include <unistd.h>

__attribute__((noinline)) int crashreportingTestlibAdd(int a, int b) { return a + b; }

// Calls `step` and adds one afterwards, so this frame stays on the stack while `step` runs.
__attribute__((noinline)) int crashreportingTestlibCall(int (*step)(void)) {
  volatile int result = step();
  return result + 1;
}

// Calls itself: optimised position-independent code calls a local alias of it ("<name>.localalias"), which the
// file's symbol table lists at the same address and size.
__attribute__((noinline, optimize("O2"))) int crashreportingTestlibRecurse(int depth) {
  volatile int here = depth;
  return depth <= 0 ? 0 : crashreportingTestlibRecurse(depth - 1) * 3 + here;
}

// Calls getpid through this library's PLT: with the PLT's slots made unreadable, the call stops on the stub's
// first instruction (an indirect jump through its slot).
__attribute__((noinline)) int crashreportingTestlibCallThroughPlt(void) {
  volatile int pid = getpid();
  return pid + 1;
}
