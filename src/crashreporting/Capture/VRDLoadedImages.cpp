#include "crashreporting/Capture/VRDLoadedImages.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <linux/limits.h>
#include <unistd.h>

#include <cstring>

#include "crashreporting/Capture/VRDBinaryImage.h"
#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDFile.h"
#include "crashreporting/Capture/VRDMemoryMaps.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDSafeRead.h"

namespace crashreporting {
namespace {

// A list the loader is changing could loop; no process has this many images.
constexpr int kMaximumLinks = 4096;
constexpr std::size_t kMaximumSegments = 64;
constexpr std::size_t kNotesBytes = 1024;
constexpr std::uint64_t kPage = 4096;

struct Image {
  VRDBinaryImageNode node;
  char uuid[VRDImageUUIDCapacity];
  char path[PATH_MAX];
};

// The image whose file addresses lie `bias` below its place in memory: its ELF header sits at `bias` when its
// first segment starts at file address 0, as every shared library's does. The program itself (which may not)
// is known since set-up.
bool readImage(std::uint64_t bias, Image* out) noexcept {
  ElfW(Ehdr) header;
  if (!VRDReadMemory(bias, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_phentsize != sizeof(ElfW(Phdr)) || header.e_phnum == 0 || header.e_phnum > kMaximumSegments) {
    return false;
  }
  ElfW(Phdr) segments[kMaximumSegments];
  if (!VRDReadMemory(bias + header.e_phoff, segments, header.e_phnum * sizeof(ElfW(Phdr)))) return false;
  if (!VRDBinaryImageNodeFromSegments(bias, segments, header.e_phnum, &out->node)) return false;
  VRDImageUUIDFormat(nullptr, 0, out->uuid);
  for (std::size_t i = 0; i < header.e_phnum; ++i) {
    if (segments[i].p_type != PT_NOTE) continue;
    std::uint8_t notes[kNotesBytes];
    const std::uint64_t size = segments[i].p_memsz < kNotesBytes ? segments[i].p_memsz : kNotesBytes;
    if (VRDReadMemory(bias + segments[i].p_vaddr, notes, size) && VRDImageUUIDFromNotes(notes, size, out->uuid)) {
      break;
    }
  }
  return true;
}

// Whether the file's last byte ends a line: a record line the binary-image queue was writing when its thread
// was stopped stays broken, and the lines written now must not be glued to it.
bool endsWithNewline(const char* path) noexcept {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;
  const off_t size = lseek(fd, 0, SEEK_END);
  char last = '\n';
  if (size > 0 && pread(fd, &last, 1, size - 1) != 1) last = '\n';
  close(fd);
  return last == '\n';
}

void recordLoad(VRDFile* file, const Image& image) noexcept {
  VRDFileWriteSectionStart(file, "load");
  VRDFileWriteHashStart(file);
  VRDFileWriteHashEntryString(file, "path", image.path);
  VRDFileWriteHashEntryString(file, "uuid", image.uuid);
  VRDFileWriteHashEntryUint64(file, "base", image.node.base);
  VRDFileWriteHashEntryUint64(file, "size", image.node.size);
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
}

}  // namespace

bool VRDLoadedImagesReadString(std::uint64_t address, char* out, std::uint64_t capacity) noexcept {
  if (capacity == 0) return false;
  out[0] = '\0';
  std::uint64_t length = 0;
  while (length + 1 < capacity) {
    // Never across a page in one read: the next page may not be mapped although the string ends before it.
    const std::uint64_t at = address + length;
    std::uint64_t chunk = kPage - at % kPage;
    if (chunk > capacity - 1 - length) chunk = capacity - 1 - length;
    if (!VRDReadMemory(at, out + length, chunk)) break;
    const void* end = std::memchr(out + length, '\0', chunk);
    if (end != nullptr) return true;
    length += chunk;
  }
  out[length] = '\0';
  return length > 0;
}

int VRDLoadedImagesCatchUp() noexcept {
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  if (readOnly == nullptr || VRDContextWritable() == nullptr) return 0;
  std::uint64_t link = 0;
  if (!VRDReadMemory(reinterpret_cast<std::uint64_t>(&_r_debug.r_map), &link, sizeof link)) return 0;
  VRDFile file;
  bool opened = false;
  int added = 0;
  for (int count = 0; link >= VRDMinimumValidAddress && count < kMaximumLinks; ++count) {
    link_map entry;
    if (!VRDReadMemory(link, &entry, sizeof entry)) break;
    link = reinterpret_cast<std::uint64_t>(entry.l_next);
    const auto bias = static_cast<std::uint64_t>(entry.l_addr);
    // Most images start at their bias; the table knows them without a look at their headers.
    if (bias < VRDMinimumValidAddress || VRDBinaryImageHasLiveNode(bias)) continue;
    Image image;
    if (!VRDLoadedImagesReadString(reinterpret_cast<std::uint64_t>(entry.l_name), image.path, sizeof image.path) ||
        image.path[0] == '\0' || !readImage(bias, &image) || VRDBinaryImageHasLiveNode(image.node.base)) {
      continue;
    }
    VRDMemoryMapsMakeImagePathAbsolute(image.node.base, image.path, sizeof image.path);
    if (!VRDBinaryImageClaimNode(image.node)) {
      VRDLogWarn("Error: Unable to track a loaded node %p\n", reinterpret_cast<void*>(image.node.base));
    }
    VRDLogInfo("Image loaded since the last look: %s at %p\n", image.path, reinterpret_cast<void*>(image.node.base));
    if (!opened) {
      const bool lineStart = endsWithNewline(readOnly->binaryImagePath);
      opened = VRDFileInitWithPath(&file, readOnly->binaryImagePath, false);
      if (opened && !lineStart) VRDFileWriteWithLength(&file, "\n", 1);
    }
    if (opened) recordLoad(&file, image);
    ++added;
  }
  if (opened) VRDFileClose(&file);
  return added;
}

}  // namespace crashreporting
