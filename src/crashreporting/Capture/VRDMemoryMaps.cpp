#include "crashreporting/Capture/VRDMemoryMaps.h"

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>

namespace crashreporting {
namespace {

// A line: "start-end perms offset major:minor inode   path", numbers in hex but the inode.
// Reads the number at `*at` in `base`, moving past it; false when no digit is there.
bool parseNumber(const char*& at, const char* end, unsigned base, std::uint64_t* out) noexcept {
  std::uint64_t value = 0;
  const char* start = at;
  for (; at < end; ++at) {
    const char c = *at;
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else {
      break;
    }
    value = value * base + digit;
  }
  *out = value;
  return at != start;
}

bool expect(const char*& at, const char* end, char c) noexcept {
  if (at == end || *at != c) return false;
  ++at;
  return true;
}

void skipPast(const char*& at, const char* end, char c) noexcept {
  while (at < end && *at != c) ++at;
  if (at < end) ++at;
}

// The line's mapping when it holds `address`.
bool parseLine(const char* line, std::size_t length, std::uint64_t address, VRDMemoryMap* out) noexcept {
  const char* at = line;
  const char* end = line + length;
  std::uint64_t start = 0;
  std::uint64_t stop = 0;
  if (!parseNumber(at, end, 16, &start) || !expect(at, end, '-') || !parseNumber(at, end, 16, &stop) ||
      address < start || address >= stop) {
    return false;
  }
  std::uint64_t major = 0;
  std::uint64_t minor = 0;
  std::uint64_t inode = 0;
  skipPast(at, end, ' ');  // to the permissions
  skipPast(at, end, ' ');  // to the offset
  skipPast(at, end, ' ');  // to the device
  if (!parseNumber(at, end, 16, &major) || !expect(at, end, ':') || !parseNumber(at, end, 16, &minor) ||
      !expect(at, end, ' ') || !parseNumber(at, end, 10, &inode)) {
    return false;
  }
  while (at < end && *at == ' ') ++at;
  out->start = start;
  out->end = stop;
  out->device = makedev(static_cast<unsigned>(major), static_cast<unsigned>(minor));
  out->inode = inode;
  const auto pathLength = static_cast<std::size_t>(end - at);
  std::memcpy(out->path, at, pathLength);
  out->path[pathLength] = '\0';
  return true;
}

}  // namespace

bool VRDMemoryMapAt(std::uint64_t address, VRDMemoryMap* out) noexcept {
  const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char chunk[1024];
  char line[PATH_MAX];
  std::size_t length = 0;  // may pass the line's room: such a line (a path near PATH_MAX) is passed over
  bool found = false;
  ssize_t n = 0;
  while (!found && (n = read(fd, chunk, sizeof chunk)) > 0) {
    for (ssize_t i = 0; i < n && !found; ++i) {
      if (chunk[i] != '\n') {
        if (length < sizeof line) line[length] = chunk[i];
        ++length;
        continue;
      }
      found = length < sizeof line && parseLine(line, length, address, out);
      length = 0;
    }
  }
  close(fd);
  return found;
}

void VRDMemoryMapsMakeImagePathAbsolute(std::uint64_t base, char* path, std::size_t capacity) noexcept {
  if (path[0] == '/' || path[0] == '\0') return;
  VRDMemoryMap map;
  if (!VRDMemoryMapAt(base, &map) || map.inode == 0 || map.path[0] != '/') return;
  const std::size_t length = std::strlen(map.path);
  if (length < capacity) std::memcpy(path, map.path, length + 1);
}

}  // namespace crashreporting
