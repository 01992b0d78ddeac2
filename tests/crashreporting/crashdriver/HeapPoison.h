#pragma once

// The driver's allocator guard: once poisoned, a call of malloc, calloc, realloc, free or the aligned allocators
// on the crash path writes "heap used after the crash began" to standard error and ends the process with status
// 86. The crash path is the thread that poisoned the heap, and any thread while it runs on its alternate signal
// stack (a crash handler, or an answer to the capture's signal). Other threads may go on using the heap: the
// library's own queues, timer and threads still starting keep working until the crash stops them.
// The driver poisons the heap on the crashing thread just before it crashes, so its whole crash path runs under
// the guard.

namespace crashdriver {

inline constexpr int HeapPoisonExitStatus = 86;

void poisonHeap();
void unpoisonHeap();

}  // namespace crashdriver
