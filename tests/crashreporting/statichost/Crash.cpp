// The static host's crashing thread: it writes through a null pointer two calls down. Built -O2 without frame
// pointers whatever the tree's flags are, as most optimised code is: only the call-frame information of the
// static program leads to the callers.
#include <pthread.h>

extern "C" {

// In main.cpp: returns once the main thread waits in its join.
void static_crash_wait_for_main();

__attribute__((noinline)) void static_crash_leaf(volatile int* target) { *target = 1; }

__attribute__((noinline)) void static_crash_mid(volatile int* target) {
  static_crash_leaf(target);
  *target = 2;
}

void* static_crash_thread(void* target) {
  pthread_setname_np(pthread_self(), "static-crasher");
  static_crash_wait_for_main();
  static_crash_mid(static_cast<volatile int*>(target));
  return nullptr;
}

}  // extern "C"
