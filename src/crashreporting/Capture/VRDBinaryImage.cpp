#include "crashreporting/Capture/VRDBinaryImage.h"

#include <elf.h>
#include <link.h>

#include <atomic>
#include <cstring>

#include "crashreporting/Capture/VRDHex.h"
#include "crashreporting/Capture/VRDSDKLog.h"

namespace crashreporting {
namespace {

// The first 16 bytes of the image's GNU build-id note as hex; empty when it has none.
void readBuildID(const dl_phdr_info* info, char* uuid) {
  uuid[0] = '\0';
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_NOTE) continue;
    auto* p = reinterpret_cast<const std::uint8_t*>(info->dlpi_addr + segment.p_vaddr);
    const std::uint8_t* end = p + segment.p_memsz;
    while (p + sizeof(ElfW(Nhdr)) <= end) {
      ElfW(Nhdr) note;
      std::memcpy(&note, p, sizeof note);
      const std::uint8_t* name = p + sizeof note;
      const std::uint8_t* desc = name + ((note.n_namesz + 3) & ~3u);
      const std::uint8_t* next = desc + ((note.n_descsz + 3) & ~3u);
      if (next > end) break;
      if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 && std::memcmp(name, "GNU", 4) == 0) {
        const std::size_t n = note.n_descsz < 16 ? note.n_descsz : 16;
        VRDHexEncodeBytes(desc, n, uuid);
        return;
      }
      p = next;
    }
  }
}

bool fillNode(const dl_phdr_info* info, VRDBinaryImageNode* node) {
  std::uint64_t base = 0;
  std::uint64_t end = 0;
  std::uint64_t ehFrame = 0;
  bool haveBase = false;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type == PT_LOAD && segment.p_offset == 0 && !haveBase) {
      base = info->dlpi_addr + segment.p_vaddr;
      haveBase = true;
    }
    if (segment.p_type == PT_LOAD && (segment.p_flags & PF_X) != 0) {
      const std::uint64_t segmentEnd = info->dlpi_addr + segment.p_vaddr + segment.p_memsz;
      if (segmentEnd > end) end = segmentEnd;
    }
    if (segment.p_type == PT_GNU_EH_FRAME) ehFrame = info->dlpi_addr + segment.p_vaddr;
  }
  if (!haveBase || end <= base) return false;
  *node = VRDBinaryImageNode{base, end - base, ehFrame, 0, 0};
  return true;
}

void storeNode(const VRDBinaryImageNode& image) {
  VRDWritableContext* writable = VRDContextWritable();
  if (writable == nullptr) {
    VRDLogWarn("Error: Writable context is NULL\n");
    return;
  }
  for (VRDBinaryImageNode& node : writable->binaryImages) {
    std::uint64_t expected = 0;
    if (!std::atomic_ref(node.base).compare_exchange_strong(expected, image.base)) continue;
    node.ehFrame = image.ehFrame;
    node.unwindInfo = image.unwindInfo;
    node.crashInfo = image.crashInfo;
    std::atomic_ref(node.size).store(image.size);
    return;
  }
  VRDLogWarn("Error: Unable to track a %s node %p\n", "loaded", reinterpret_cast<void*>(image.base));
}

}  // namespace

void VRDBinaryImageInit() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void*) {
        VRDBinaryImageNode node;
        if (fillNode(info, &node)) storeNode(node);
        return 0;
      },
      nullptr);
}

bool VRDBinaryImageSafeFindImageForAddress(std::uint64_t address, VRDBinaryImageNode* out) noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  if (writable == nullptr || out == nullptr) return false;
  for (VRDBinaryImageNode& node : writable->binaryImages) {
    const std::uint64_t base = std::atomic_ref(node.base).load();
    const std::uint64_t size = std::atomic_ref(node.size).load();
    if (base != 0 && base <= address && address - base < size) {
      *out = VRDBinaryImageNode{base, size, node.ehFrame, node.unwindInfo, node.crashInfo};
      return true;
    }
  }
  return false;
}

bool VRDBinaryImageHasUnwindInfo(const VRDBinaryImageNode* node) noexcept {
  return node != nullptr && node->unwindInfo >= VRDMinimumValidAddress;
}

bool VRDBinaryImageMainExecutableDetails(VRDBinaryImageDetails* out) {
  std::memset(out, 0, sizeof *out);
  // The loader lists the executable first.
  return dl_iterate_phdr(
             [](dl_phdr_info* info, std::size_t, void* data) {
               auto* details = static_cast<VRDBinaryImageDetails*>(data);
               if (!fillNode(info, &details->node)) return -1;
               readBuildID(info, details->uuid);
               return 1;
             },
             out) == 1;
}

bool VRDBinaryImageRecordMainExecutable(VRDFile* file) {
  VRDBinaryImageDetails details;
  const bool found = VRDBinaryImageMainExecutableDetails(&details);
  VRDFileWriteSectionStart(file, "executable");
  VRDFileWriteHashStart(file);
  VRDFileWriteHashEntryString(file, "architecture", "x86_64");
  VRDFileWriteHashEntryString(file, "uuid", found && details.uuid[0] != '\0' ? details.uuid : nullptr);
  VRDFileWriteHashEntryUint64(file, "base", details.node.base);
  VRDFileWriteHashEntryUint64(file, "size", details.node.size);
  VRDFileWriteHashEntryBoolean(file, "encrypted", false);
  // ELF carries neither version.
  VRDFileWriteHashEntryString(file, "minimum_sdk_version", "0.0.0");
  VRDFileWriteHashEntryString(file, "built_sdk_version", "0.0.0");
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
  return true;
}

}  // namespace crashreporting
