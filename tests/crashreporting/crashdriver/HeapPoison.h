#pragma once

// The driver's allocator guard: once poisoned, any call of malloc, calloc, realloc, free or the aligned
// allocators writes "heap used after the crash began" to standard error and ends the process with status 86.
// The driver poisons the heap just before it crashes, so the whole crash path runs under the guard.

namespace crashdriver {

inline constexpr int HeapPoisonExitStatus = 86;

void poisonHeap();
void unpoisonHeap();

}  // namespace crashdriver
