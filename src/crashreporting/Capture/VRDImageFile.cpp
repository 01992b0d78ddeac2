#include "crashreporting/Capture/VRDImageFile.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/Capture/VRDBinaryImage.h"
#include "crashreporting/Capture/VRDMemoryMaps.h"

namespace crashreporting {
namespace {

std::optional<VRDMemoryMap> mappingAt(std::uint64_t address) {
  VRDMemoryMap map;
  return VRDMemoryMapAt(address, &map) ? std::optional(map) : std::nullopt;
}

// The build-id of the ELF file open at `fd`, from its note segments; empty when it has none.
std::string fileBuildID(int fd) {
  ElfW(Ehdr) header;
  if (!VRDImageFileRead(fd, 0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_phentsize != sizeof(ElfW(Phdr))) {
    return {};
  }
  std::vector<ElfW(Phdr)> segments(header.e_phnum);
  if (!VRDImageFileRead(fd, header.e_phoff, segments.data(), segments.size() * sizeof(ElfW(Phdr)))) return {};
  for (const ElfW(Phdr)& segment : segments) {
    if (segment.p_type != PT_NOTE || segment.p_filesz > 65536) continue;
    std::vector<std::uint8_t> notes(segment.p_filesz);
    char uuid[VRDImageUUIDCapacity] = {};
    if (VRDImageFileRead(fd, segment.p_offset, notes.data(), notes.size()) &&
        VRDImageUUIDFromNotes(notes.data(), notes.size(), uuid)) {
      return uuid;
    }
  }
  return {};
}

// `path` opened, when it leads to the mapped file; -1 otherwise.
int openIfMapped(const std::string& path, const std::optional<VRDMemoryMap>& mapping, const char* uuid) {
  const int fd = path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat status {};
  if (mapping && fstat(fd, &status) == 0 && status.st_dev == mapping->device && status.st_ino == mapping->inode) {
    return fd;
  }
  // Some file systems (overlays) show another device in the maps than stat does: the build-id decides.
  const std::string buildID = fileBuildID(fd);
  if (buildID.empty() ? !mapping : buildID == uuid) return fd;
  close(fd);
  return -1;
}

}  // namespace

bool VRDImageFileRead(int fd, std::uint64_t offset, void* out, std::uint64_t length) {
  auto* bytes = static_cast<char*>(out);
  while (length > 0) {
    const ssize_t n = pread(fd, bytes, length, static_cast<off_t>(offset));
    if (n <= 0) return false;
    bytes += n;
    offset += static_cast<std::uint64_t>(n);
    length -= static_cast<std::uint64_t>(n);
  }
  return true;
}

int VRDImageFileOpen(std::uint64_t address, const char* path, const char* uuid) {
  const std::optional<VRDMemoryMap> mapping = mappingAt(address);
  if (const int fd = openIfMapped(path, mapping, uuid); fd >= 0 || !mapping) return fd;
  if (const int fd = openIfMapped(mapping->path, mapping, uuid); fd >= 0) return fd;
  char mapFile[64];
  std::snprintf(mapFile, sizeof mapFile, "/proc/self/map_files/%" PRIx64 "-%" PRIx64, mapping->start,
                mapping->end);
  return open(mapFile, O_RDONLY | O_CLOEXEC);
}

}  // namespace crashreporting
