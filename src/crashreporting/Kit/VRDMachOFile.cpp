#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "crashreporting/Kit/VRDMachO.h"

namespace crashreporting {

VRDMachOFile::~VRDMachOFile() { VRDMachOFileDestroy(this); }

VRDMachOFile::VRDMachOFile(VRDMachOFile&& other) noexcept
    : fd(std::exchange(other.fd, -1)),
      mappedSize(std::exchange(other.mappedSize, 0)),
      mappedFile(std::exchange(other.mappedFile, nullptr)) {}

VRDMachOFile& VRDMachOFile::operator=(VRDMachOFile&& other) noexcept {
  if (this != &other) {
    VRDMachOFileDestroy(this);
    fd = std::exchange(other.fd, -1);
    mappedSize = std::exchange(other.mappedSize, 0);
    mappedFile = std::exchange(other.mappedFile, nullptr);
  }
  return *this;
}

bool VRDMachOFileInitWithPath(VRDMachOFile* file, const char* path) {
  if (!file || !path) return false;
  VRDMachOFileDestroy(file);
  file->fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO in its place must not block
  if (file->fd < 0) return false;
  struct stat info {};
  if (fstat(file->fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 16) {
    void* mapping = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_SHARED, file->fd, 0);
    if (mapping != MAP_FAILED) {
      file->mappedSize = info.st_size;
      file->mappedFile = static_cast<const std::uint8_t*>(mapping);
      return true;
    }
  }
  VRDMachOFileDestroy(file);
  return false;
}

void VRDMachOFileDestroy(VRDMachOFile* file) {
  if (!file) return;
  if (file->mappedFile && file->mappedSize != 0)
    munmap(const_cast<std::uint8_t*>(file->mappedFile), static_cast<std::size_t>(file->mappedSize));
  if (file->fd >= 0) ::close(file->fd);
  file->fd = -1;
  file->mappedSize = 0;
  file->mappedFile = nullptr;
}

void VRDMachOFileEnumerateSlices(const VRDMachOFile* file, const VRDMachOSliceBlock& block) {
  if (!file || !file->mappedFile) return;
  VRDMachOEnumerateSlicesAtAddress(file->mappedFile, static_cast<std::uint64_t>(file->mappedSize), block);
}

VRDMachOSliceInfo VRDMachOFileSliceForArchitectureName(const VRDMachOFile* file, const char* name) {
  VRDMachOSliceInfo found;
  if (!name) return found;
  VRDMachOFileEnumerateSlices(file, [&](const VRDMachOSliceInfo& slice) {
    if (std::strcmp(VRDMachOSliceGetArchitectureName(slice), name) == 0) found = slice;
  });
  return found;
}

}  // namespace crashreporting
