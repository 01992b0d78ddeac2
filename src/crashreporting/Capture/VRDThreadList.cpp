#include "crashreporting/Capture/VRDThreadList.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

#include "crashreporting/Capture/VRDFormat.h"

namespace crashreporting {
namespace {

// The kernel's directory entry as getdents64 fills it.
struct DirectoryEntry {
  std::uint64_t inode;
  std::int64_t offset;
  unsigned short length;
  unsigned char type;
  char name[1];
};

bool parseID(const char* text, std::int32_t* out) noexcept {
  std::int64_t value = 0;
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9' || value > 100000000) return false;
    value = value * 10 + (*text - '0');
  }
  *out = static_cast<std::int32_t>(value);
  return value > 0;
}

}  // namespace

int VRDThreadListRead(std::int32_t* threads, std::size_t capacity) noexcept {
  const int fd = open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  alignas(8) char buffer[4096];
  std::size_t count = 0;
  long n = 0;
  while (count < capacity && (n = syscall(SYS_getdents64, fd, buffer, sizeof buffer)) > 0) {
    for (long at = 0; at < n && count < capacity;) {
      const auto* entry = reinterpret_cast<const DirectoryEntry*>(buffer + at);
      if (entry->length == 0) break;
      std::int32_t tid;
      if (parseID(entry->name, &tid)) threads[count++] = tid;
      at += entry->length;
    }
  }
  close(fd);
  return n < 0 && count == 0 ? -1 : static_cast<int>(count);
}

long VRDReadSmallFile(const char* path, char* out, std::size_t capacity) noexcept {
  if (capacity == 0) return -1;
  out[0] = '\0';
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  std::size_t fill = 0;
  ssize_t n;
  while (fill < capacity - 1 && (n = read(fd, out + fill, capacity - 1 - fill)) > 0) fill += static_cast<std::size_t>(n);
  close(fd);
  out[fill] = '\0';
  return static_cast<long>(fill);
}

bool VRDThreadGetName(std::int32_t tid, char* out, std::size_t capacity) noexcept {
  if (capacity == 0) return false;
  std::memset(out, 0, capacity);
  char path[64];
  VRDFormat(path, sizeof path, "/proc/self/task/%d/comm", tid);
  const long n = VRDReadSmallFile(path, out, capacity);
  if (n < 0) return false;
  if (n > 0 && out[n - 1] == '\n') out[n - 1] = '\0';
  return true;
}

}  // namespace crashreporting
