#include "HeapPoison.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>

// glibc's own allocator entry points, which the replacements below forward to.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void __libc_free(void* pointer);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace crashdriver {
namespace {

std::atomic<bool> poisoned{false};
// Set on the thread about to crash: its whole crash path runs under the guard.
thread_local bool crashing = false;

// Whether the calling thread runs on its alternate signal stack: in a crash handler, or answering the capture's
// signal.
bool onAlternateStack() {
  stack_t current{};
  return sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_ONSTACK) != 0;
}

void check() {
  if (!poisoned.load(std::memory_order_relaxed)) return;
  // The library's own threads (its queues, its rescan timer, one still starting) go on with their work until the
  // crash stops them; that work may use the heap. Only the crash path may not.
  if (!crashing && !onAlternateStack()) return;
  static const char message[] = "heap used after the crash began\n";
  [[maybe_unused]] const ssize_t n = write(2, message, sizeof message - 1);
  _exit(HeapPoisonExitStatus);
}

}  // namespace

void poisonHeap() {
  crashing = true;
  poisoned.store(true);
}

void unpoisonHeap() {
  crashing = false;
  poisoned.store(false);
}

}  // namespace crashdriver

// The executable's definitions take the place of the C library's for every caller in the process.
extern "C" {

void* malloc(std::size_t size) {
  crashdriver::check();
  return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
  crashdriver::check();
  return __libc_calloc(count, size);
}

void* realloc(void* pointer, std::size_t size) {
  crashdriver::check();
  return __libc_realloc(pointer, size);
}

void free(void* pointer) {
  if (pointer != nullptr) crashdriver::check();
  __libc_free(pointer);
}

void* memalign(std::size_t alignment, std::size_t size) {
  crashdriver::check();
  return __libc_memalign(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
  crashdriver::check();
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  crashdriver::check();
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* block = __libc_memalign(alignment, size);
  if (block == nullptr) return ENOMEM;
  *out = block;
  return 0;
}

}  // extern "C"
