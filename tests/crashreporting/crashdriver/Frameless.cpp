#include "Frameless.h"

#include <cstring>

extern "C" {

// Volatile, so the faults are neither proven away nor moved.
volatile int* volatile crashdriverNull = nullptr;
const char* volatile crashdriverNullString = nullptr;

__attribute__((noinline)) int crashdriverFramelessLeaf(int value) {
  *crashdriverNull = value;
  return value + 1;
}

__attribute__((noinline)) int crashdriverFramelessCaller(int value) { return crashdriverFramelessLeaf(value * 3) + 2; }

__attribute__((noinline)) int crashdriverFramelessCallersCaller(int value) {
  return crashdriverFramelessCaller(value + 5) * 7;
}

__attribute__((noinline)) int crashdriverStrlenCaller(int value) {
  return static_cast<int>(std::strlen(crashdriverNullString)) + value;
}

// Meant to recurse until the stack runs out.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
__attribute__((noinline)) int crashdriverFramelessRecurse(int depth) {
  volatile char frame[64];
  frame[depth & 63] = static_cast<char>(depth);
  return crashdriverFramelessRecurse(depth + 1) + frame[depth & 63];
}
#pragma GCC diagnostic pop

}  // extern "C"
