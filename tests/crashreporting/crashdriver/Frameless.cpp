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

// A call through a null function pointer, as a null callback or a freed object's table makes it.
int (*volatile crashdriverNullFunction)(int) = nullptr;

__attribute__((noinline)) int crashdriverCallThroughNull(int value) { return crashdriverNullFunction(value) + 1; }

__attribute__((noinline)) int crashdriverCallThroughNullCaller(int value) {
  return crashdriverCallThroughNull(value * 2) + 3;
}

// Calls code that no image holds (a JIT's page, a wild jump) with locals of its own on the stack.
__attribute__((noinline)) int crashdriverCallCode(int (*code)(int), int value) {
  volatile int locals[6] = {value, value + 1, value + 2, value + 3, value + 4, value + 5};
  return code(locals[0]) + locals[5];
}

__attribute__((noinline)) int crashdriverRbpInUseCaller(int (*code)(int), int value) {
  return crashdriverCallCodeWithRbpInUse(code, value * 2) + 3;
}

}  // extern "C"

// Keeps RBP as an ordinary register holding 7, as optimised code may, while it calls the code it is given.
asm(R"(
  .text
  .p2align 4
  .globl crashdriverCallCodeWithRbpInUse
  .type crashdriverCallCodeWithRbpInUse, @function
crashdriverCallCodeWithRbpInUse:
  .cfi_startproc
  pushq %rbp
  .cfi_def_cfa_offset 16
  .cfi_offset %rbp, -16
  movl $7, %ebp
  movq %rdi, %rax
  movl %esi, %edi
  call *%rax
  addl $1, %eax
  popq %rbp
  .cfi_def_cfa_offset 8
  ret
  .cfi_endproc
  .size crashdriverCallCodeWithRbpInUse, .-crashdriverCallCodeWithRbpInUse
)");
