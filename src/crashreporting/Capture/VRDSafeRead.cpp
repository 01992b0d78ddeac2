#include "crashreporting/Capture/VRDSafeRead.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace crashreporting {
namespace {

// Set once process_vm_readv has been refused (seccomp, old kernel); every later read goes through a pipe.
std::atomic<bool> processReadRefused{false};

// rt_sigprocmask(how, set, nullptr, 8), its error as a negative number. On x86-64 the instruction itself: no
// call through the loader's table (bound on first use, at crash time the first use), and errno stays untouched.
long rawSigprocmask(long how, const void* set) noexcept {
#if defined(__x86_64__)
  long result = SYS_rt_sigprocmask;
  register long sizeArgument asm("r10") = 8;
  asm volatile("syscall"
               : "+a"(result)
               : "D"(how), "S"(set), "d"(nullptr), "r"(sizeArgument)
               : "rcx", "r11", "memory");
  return result;
#else
  const int savedErrno = errno;
  const long result = syscall(SYS_rt_sigprocmask, how, set, nullptr, 8);
  const long error = result == 0 ? 0 : -errno;
  errno = savedErrno;
  return error;
#endif
}

}  // namespace

bool VRDReadMemoryThroughPipe(std::uint64_t address, void* destination, std::size_t length) noexcept {
  if (address < VRDMinimumValidAddress) return false;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  bool ok = true;
  auto* out = static_cast<char*>(destination);
  std::size_t done = 0;
  while (ok && done < length) {
    // A pipe holds at least one page; a write of that much is all or nothing.
    const std::size_t chunk = length - done < 4096 ? length - done : 4096;
    const ssize_t written = write(fds[1], reinterpret_cast<const void*>(address + done), chunk);
    if (written != static_cast<ssize_t>(chunk)) {
      ok = false;
      break;
    }
    std::size_t got = 0;
    while (got < chunk) {
      const ssize_t n = read(fds[0], out + done + got, chunk - got);
      if (n <= 0) {
        ok = false;
        break;
      }
      got += static_cast<std::size_t>(n);
    }
    done += chunk;
  }
  close(fds[0]);
  close(fds[1]);
  return ok;
}

bool VRDReadMemory(std::uint64_t address, void* destination, std::size_t length) noexcept {
  if (address < VRDMinimumValidAddress || destination == nullptr) return false;
  if (length == 0) return true;
  if (address + length < address) return false;
  if (!processReadRefused.load(std::memory_order_relaxed)) {
    const int savedErrno = errno;
    iovec local{destination, length};
    iovec remote{reinterpret_cast<void*>(address), length};
    const ssize_t n = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
    const int error = errno;
    errno = savedErrno;
    if (n == static_cast<ssize_t>(length)) return true;
    if (n >= 0 || (error != ENOSYS && error != EPERM)) return false;
    processReadRefused.store(true, std::memory_order_relaxed);
  }
  const int savedErrno = errno;
  const bool ok = VRDReadMemoryThroughPipe(address, destination, length);
  errno = savedErrno;
  return ok;
}

bool VRDProbeReadable(std::uint64_t address) noexcept {
  if (address < VRDMinimumValidAddress || address + 8 < address) return false;
  // rt_sigprocmask copies the new mask in before it looks at `how`: a readable mask gets EINVAL for the
  // unknown `how`, an unreadable one EFAULT, and the thread's mask stays as it was either way.
  constexpr long kNoSuchHow = 0x7fff;
  const long result = rawSigprocmask(kNoSuchHow, reinterpret_cast<const void*>(address));
  if (result == -EINVAL) return true;
  if (result == -EFAULT) return false;
  std::uint64_t copy = 0;
  return VRDReadMemory(address, &copy, sizeof copy);
}

bool VRDReadString(std::uint64_t address, const char** out, std::size_t maximumLength) noexcept {
  if (out == nullptr) return false;
  if (maximumLength == 0) {
    *out = reinterpret_cast<const char*>(address);
    return true;
  }
  for (std::size_t i = 0; i < maximumLength; ++i) {
    char c = 1;
    if (!VRDReadMemory(address + i, &c, 1)) return false;
    if (c == '\0') break;
  }
  *out = reinterpret_cast<const char*>(address);
  return true;
}

}  // namespace crashreporting
