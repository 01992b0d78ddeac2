#pragma once

#include <cstdint>
#include <string>

// The file a loaded image was mapped from, which the path it was loaded by may no longer lead to: a relative
// path after the process changed its folder, a file deleted or renamed over since. Not at crash time: it reads
// /proc and takes the heap.

namespace crashreporting {

/// A descriptor of the file mapped at `address` (an image's ELF header in memory) for an image loaded from
/// `path` whose UUID is `uuid`: the first of `path` and the path /proc/self/maps names that still leads to the
/// mapped file (the same device and inode, or the same build-id), else the mapping itself through
/// /proc/self/map_files (which only a privileged process may open). Without /proc/self/maps, `path` unless its
/// build-id differs. -1 when none can be opened; the caller closes it.
int VRDImageFileOpen(std::uint64_t address, const char* path, const char* uuid);

/// Reads `length` bytes at `offset` of the file open at `fd`; false when they are not all there.
bool VRDImageFileRead(int fd, std::uint64_t offset, void* out, std::uint64_t length);

}  // namespace crashreporting
