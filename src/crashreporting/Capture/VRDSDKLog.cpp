#include "crashreporting/Capture/VRDSDKLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDFormat.h"

namespace crashreporting {

bool VRDSDKLogWants(std::int32_t level) noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  return writable != nullptr && level >= std::atomic_ref(writable->minimumLogLevel).load(std::memory_order_relaxed);
}

void VRDSDKLog(std::int32_t level, const char* format, ...) noexcept {
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  VRDWritableContext* writable = VRDContextWritable();
  if (readOnly == nullptr || writable == nullptr) return;
  if (reinterpret_cast<std::uintptr_t>(readOnly->internalLogPath) < VRDMinimumValidAddress) return;
  if (level < std::atomic_ref(writable->minimumLogLevel).load(std::memory_order_relaxed)) return;
  // The log file is the parent's.
  if (std::atomic_ref(writable->forkedChild).load(std::memory_order_relaxed) != 0) return;
  const int savedErrno = errno;
  std::atomic_ref descriptor(writable->internalLogFd);
  int fd = descriptor.load();
  if (fd == -1) {
    fd = open(readOnly->internalLogPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
      errno = savedErrno;
      return;
    }
    int expected = -1;
    // Two first uses at once: keep one descriptor, close the other.
    if (!descriptor.compare_exchange_strong(expected, fd)) {
      close(fd);
      fd = expected;
    }
  }
  char buffer[512];
  VRDFormatSink sink{buffer, sizeof buffer, 0, fd, 0};
  va_list arguments;
  va_start(arguments, format);
  VRDFormatV(sink, format, arguments);
  va_end(arguments);
  sink.flush();
  errno = savedErrno;
}

}  // namespace crashreporting
