// The threads of the static host's crash: one that writes through a null pointer two calls down, and threads
// that wait in a read. Built -O2 without frame pointers whatever the tree's flags are, as most optimised code
// is: only their call-frame information leads to their callers.
#include <pthread.h>
#include <unistd.h>

#include <atomic>

#include "Crash.h"

std::atomic<int> staticWaitersStarted{0};

extern "C" {

__attribute__((noinline)) void static_crash_leaf(volatile int* target) { *target = 1; }

__attribute__((noinline)) void static_crash_mid(volatile int* target) {
  static_crash_leaf(target);
  *target = 2;
}

void* static_crash_thread(void* target) {
  pthread_setname_np(pthread_self(), "static-crasher");
  static_crash_mid(static_cast<volatile int*>(target));
  return nullptr;
}

void* static_wait_thread(void* pipe) {
  pthread_setname_np(pthread_self(), "static-waiter");
  ++staticWaitersStarted;
  char byte = 0;
  return read(*static_cast<int*>(pipe), &byte, 1) < 0 ? pipe : nullptr;
}

}  // extern "C"
