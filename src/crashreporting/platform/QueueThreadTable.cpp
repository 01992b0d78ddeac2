#include "crashreporting/platform/QueueThreadTable.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace crashreporting {
namespace {

constexpr std::int32_t kFree = 0;
constexpr std::int32_t kClaimed = -1;

struct Entry {
  std::atomic<std::int32_t> tid{kFree};
  char label[QueueThreadLabelSize];
};

Entry table[QueueThreadTableSize];

std::int32_t currentThread() { return static_cast<std::int32_t>(syscall(SYS_gettid)); }

}  // namespace

void QueueThreadTableEnter(const char* label) noexcept {
  for (Entry& entry : table) {
    std::int32_t expected = kFree;
    if (!entry.tid.compare_exchange_strong(expected, kClaimed)) continue;
    std::strncpy(entry.label, label, QueueThreadLabelSize - 1);
    entry.label[QueueThreadLabelSize - 1] = '\0';
    entry.tid.store(currentThread(), std::memory_order_release);
    return;
  }
}

void QueueThreadTableLeave() noexcept {
  const std::int32_t self = currentThread();
  for (Entry& entry : table) {
    std::int32_t expected = self;
    if (entry.tid.compare_exchange_strong(expected, kFree)) return;
  }
}

bool QueueThreadTableLabel(std::int32_t tid, char* out) noexcept {
  if (tid <= 0) return false;
  for (const Entry& entry : table) {
    if (entry.tid.load(std::memory_order_acquire) != tid) continue;
    std::memcpy(out, entry.label, QueueThreadLabelSize);
    out[QueueThreadLabelSize - 1] = '\0';
    return true;
  }
  return false;
}

}  // namespace crashreporting
