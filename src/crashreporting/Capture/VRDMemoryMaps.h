#pragma once

#include <linux/limits.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// What /proc/self/maps says of the mapping that holds an address. Read with plain reads into stack buffers and
// parsed by hand, so crash-time code may ask too: a library loaded by a relative path is known only by the path
// dlopen was given, which names nothing once the process or the next launch is in another folder.

namespace crashreporting {

struct VRDMemoryMap {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  dev_t device = 0;
  std::uint64_t inode = 0;   // 0 for memory no file backs
  char path[PATH_MAX] = {};  // empty when the line names none
};

/// The mapping with start ≤ address < end; false when none holds it or the maps cannot be read.
/// Async-signal-safe.
bool VRDMemoryMapAt(std::uint64_t address, VRDMemoryMap* out) noexcept;

/// An image's path as the loader keeps it (as dlopen was given it): when relative, replaced by the absolute path
/// of the file mapped at `base` (the image's ELF header); kept when no file is mapped there or its path does not
/// fit in `capacity`. Async-signal-safe.
void VRDMemoryMapsMakeImagePathAbsolute(std::uint64_t base, char* path, std::size_t capacity) noexcept;

}  // namespace crashreporting
