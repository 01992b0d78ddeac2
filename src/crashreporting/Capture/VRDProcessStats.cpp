#include "crashreporting/Capture/VRDProcessStats.h"

#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDThreadList.h"

namespace crashreporting {
namespace {

// The number after `key` at the start of a line of `text`; false when there is none.
bool numberAfter(const char* text, const char* key, std::uint64_t* out) noexcept {
  const std::size_t keyLength = std::strlen(key);
  for (const char* line = text; *line != '\0';) {
    if (std::strncmp(line, key, keyLength) == 0) {
      const char* p = line + keyLength;
      while (*p == ' ' || *p == '\t') ++p;
      if (*p < '0' || *p > '9') return false;
      std::uint64_t value = 0;
      for (; *p >= '0' && *p <= '9'; ++p) value = value * 10 + static_cast<std::uint64_t>(*p - '0');
      *out = value;
      return true;
    }
    const char* next = std::strchr(line, '\n');
    if (next == nullptr) break;
    line = next + 1;
  }
  return false;
}

std::uint64_t pageSize() noexcept {
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  return readOnly != nullptr && readOnly->host.pageSize != 0 ? readOnly->host.pageSize : 4096;
}

}  // namespace

bool VRDProcessGetMemoryUsage(std::uint64_t* active, std::uint64_t* inactive, std::uint64_t* wired,
                              std::uint64_t* free) noexcept {
  char text[8192];
  if (VRDReadSmallFile("/proc/meminfo", text, sizeof text) <= 0) {
    VRDLogWarn("Failed to get vm statistics\n");
    return false;
  }
  std::uint64_t kb[4];
  if (!numberAfter(text, "Active:", &kb[0]) || !numberAfter(text, "Inactive:", &kb[1]) ||
      !numberAfter(text, "Unevictable:", &kb[2]) || !numberAfter(text, "MemFree:", &kb[3])) {
    VRDLogWarn("Failed to get vm statistics\n");
    return false;
  }
  *active = kb[0] * 1024;
  *inactive = kb[1] * 1024;
  *wired = kb[2] * 1024;
  *free = kb[3] * 1024;
  return true;
}

bool VRDProcessGetInfo(std::uint64_t* virtualSize, std::uint64_t* residentSize, std::uint64_t* userTime,
                       std::uint64_t* systemTime) noexcept {
  char text[256];
  rusage usage{};
  if (VRDReadSmallFile("/proc/self/statm", text, sizeof text) <= 0 ||
      syscall(SYS_getrusage, RUSAGE_SELF, &usage) != 0) {
    VRDLogWarn("Failed to get task info\n");
    return false;
  }
  std::uint64_t pages[2] = {0, 0};
  const char* p = text;
  for (std::uint64_t& value : pages) {
    while (*p == ' ') ++p;
    if (*p < '0' || *p > '9') {
      VRDLogWarn("Failed to get task info\n");
      return false;
    }
    for (; *p >= '0' && *p <= '9'; ++p) value = value * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  *virtualSize = pages[0] * pageSize();
  *residentSize = pages[1] * pageSize();
  *userTime = static_cast<std::uint64_t>(usage.ru_utime.tv_sec) * 1000000 + static_cast<std::uint64_t>(usage.ru_utime.tv_usec);
  *systemTime = static_cast<std::uint64_t>(usage.ru_stime.tv_sec) * 1000000 + static_cast<std::uint64_t>(usage.ru_stime.tv_usec);
  return true;
}

void VRDProcessRecordStats(VRDFile* file) noexcept {
  std::uint64_t active, inactive, wired, free;
  if (!VRDProcessGetMemoryUsage(&active, &inactive, &wired, &free)) {
    VRDLogWarn("Unable to get process memory usage\n");
    return;
  }
  std::uint64_t virtualSize, residentSize, userTime, systemTime;
  if (!VRDProcessGetInfo(&virtualSize, &residentSize, &userTime, &systemTime)) {
    VRDLogWarn("Unable to get process stats\n");
    return;
  }
  VRDFileWriteSectionStart(file, "process_stats");
  VRDFileWriteHashStart(file);
  VRDFileWriteHashEntryUint64(file, "active", active);
  VRDFileWriteHashEntryUint64(file, "inactive", inactive);
  VRDFileWriteHashEntryUint64(file, "wired", wired);
  VRDFileWriteHashEntryUint64(file, "freeMem", free);
  VRDFileWriteHashEntryUint64(file, "free_mem", free);
  VRDFileWriteHashEntryUint64(file, "virtual", virtualSize);
  VRDFileWriteHashEntryUint64(file, "resident", residentSize);
  VRDFileWriteHashEntryUint64(file, "user_time", userTime);
  VRDFileWriteHashEntryUint64(file, "sys_time", systemTime);
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
}

void VRDHostRecordStorage(VRDFile* file) noexcept {
  VRDFileWriteSectionStart(file, "storage");
  VRDFileWriteHashStart(file);
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  struct statfs stats {};
  // statvfs would read the mount table through the heap; statfs is the bare call.
  if (readOnly != nullptr && readOnly->host.documentsDirectory != nullptr &&
      syscall(SYS_statfs, readOnly->host.documentsDirectory, &stats) == 0) {
    const auto block = static_cast<std::uint64_t>(stats.f_frsize != 0 ? stats.f_frsize : stats.f_bsize);
    VRDFileWriteHashEntryUint64(file, "free", block * stats.f_bavail);
    VRDFileWriteHashEntryUint64(file, "total", block * stats.f_blocks);
  }
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
}

}  // namespace crashreporting
