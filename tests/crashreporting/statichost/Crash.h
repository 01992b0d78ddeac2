#pragma once

#include <atomic>

// The functions of the static host's crashing thread and its waiting threads (Crash.cpp).
extern std::atomic<int> staticWaitersStarted;

extern "C" {
/// Names its thread "static-crasher", then writes through `target` (null) two calls down.
void* static_crash_thread(void* target);
/// Names its thread "static-waiter", counts itself started and reads a byte from the pipe end at `pipe`.
void* static_wait_thread(void* pipe);
}
