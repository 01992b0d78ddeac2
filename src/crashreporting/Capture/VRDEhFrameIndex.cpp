#include "crashreporting/Capture/VRDEhFrameIndex.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "crashreporting/Capture/VRDDwarf.h"
#include "crashreporting/Capture/VRDEhFrameHdr.h"
#include "crashreporting/Capture/VRDSDKLog.h"

namespace crashreporting {
namespace {

// The built table: the `.eh_frame_hdr` layout with an absolute 8-byte `.eh_frame` pointer and a 4-byte count,
// then the (start, FDE) pairs as 4-byte offsets from `.eh_frame`.
constexpr std::uint8_t kPointerEncoding = 0x04;  // DW_EH_PE_udata8
constexpr std::uint8_t kCountEncoding = 0x03;    // DW_EH_PE_udata4
constexpr std::uint8_t kTableEncoding = 0x3b;    // DW_EH_PE_datarel | DW_EH_PE_sdata4
constexpr std::uint64_t kHeaderBytes = 16;
constexpr std::uint64_t kPage = 4096;
// No section header table or string table of a real file is near this large.
constexpr std::uint64_t kMaximumTableBytes = std::uint64_t{1} << 24;

std::uint64_t mappedBytes(std::uint64_t count) { return (kHeaderBytes + count * 8 + kPage - 1) / kPage * kPage; }

bool readAt(int fd, std::uint64_t offset, void* out, std::uint64_t length) {
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

bool findSection(int fd, std::uint64_t bias, std::uint64_t* address, std::uint64_t* size) {
  ElfW(Ehdr) header;
  if (!readAt(fd, 0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(ElfW(Shdr)) || header.e_shnum == 0 ||
      header.e_shstrndx == SHN_UNDEF || header.e_shstrndx >= header.e_shnum) {
    return false;
  }
  std::vector<ElfW(Shdr)> sections(header.e_shnum);
  if (!readAt(fd, header.e_shoff, sections.data(), sections.size() * sizeof(ElfW(Shdr)))) return false;
  const ElfW(Shdr)& names = sections[header.e_shstrndx];
  if (names.sh_size == 0 || names.sh_size > kMaximumTableBytes) return false;
  std::vector<char> text(names.sh_size + 1, '\0');
  if (!readAt(fd, names.sh_offset, text.data(), names.sh_size)) return false;
  for (const ElfW(Shdr)& section : sections) {
    if (section.sh_name >= names.sh_size || std::strcmp(text.data() + section.sh_name, ".eh_frame") != 0) continue;
    if ((section.sh_flags & SHF_ALLOC) == 0 || section.sh_addr == 0 || section.sh_size == 0) return false;
    *address = bias + section.sh_addr;
    *size = section.sh_size;
    return true;
  }
  return false;
}

// The (function start, FDE address) of every FDE of the section whose function lies in [codeStart, codeEnd).
std::vector<std::pair<std::uint64_t, std::uint64_t>> listFDEs(std::uint64_t ehFrame, std::uint64_t size,
                                                              std::uint64_t codeStart, std::uint64_t codeEnd) {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> found;
  auto pages = std::make_unique<VRDReadablePages>();
  VRDReadablePagesReset(pages.get());
  const std::uint64_t end = ehFrame + size;
  for (std::uint64_t at = ehFrame; at + 8 <= end;) {
    std::uint32_t words[2] = {};  // length, then the CIE id or pointer
    if (!VRDReadablePagesRead(pages.get(), at, words, sizeof words) || words[0] == 0) break;  // 0: the terminator
    std::uint64_t length = words[0];
    std::uint64_t next = at + 4 + length;
    std::uint32_t id = words[1];
    if (words[0] == 0xffffffffu) {
      std::uint32_t wide[3] = {};
      if (!VRDReadablePagesRead(pages.get(), at + 4, wide, sizeof wide)) break;
      length = wide[0] | std::uint64_t{wide[1]} << 32;
      next = at + 12 + length;
      id = wide[2];
    }
    if (next > end || next <= at) break;
    VRDDwarfFDERecord fde;
    if (id != 0 && VRDDwarfParseFDERecord(&fde, at, pages.get()) && fde.pcRange > 0 && fde.pcBegin >= codeStart &&
        fde.pcBegin < codeEnd) {
      found.emplace_back(fde.pcBegin, at);
    }
    at = next;
  }
  return found;
}

}  // namespace

bool VRDEhFrameIndexFindSection(const char* path, std::uint64_t bias, std::uint64_t* address,
                                std::uint64_t* size) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool found = findSection(fd, bias, address, size);
  close(fd);
  return found;
}

std::uint64_t VRDEhFrameIndexBuild(std::uint64_t ehFrame, std::uint64_t size, std::uint64_t codeStart,
                                   std::uint64_t codeEnd) {
  auto entries = listFDEs(ehFrame, size, codeStart, codeEnd);
  std::sort(entries.begin(), entries.end());
  // A function 2 GiB or more away from `.eh_frame` is left out: no image is that large.
  const auto offset = [ehFrame](std::uint64_t address) { return static_cast<std::int64_t>(address - ehFrame); };
  const auto fits = [&](std::uint64_t address) {
    return offset(address) >= std::numeric_limits<std::int32_t>::min() &&
           offset(address) <= std::numeric_limits<std::int32_t>::max();
  };
  std::erase_if(entries, [&](const auto& entry) { return !fits(entry.first) || !fits(entry.second); });
  if (entries.empty()) return 0;
  const std::uint64_t bytes = mappedBytes(entries.size());
  void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return 0;
  auto* table = static_cast<std::uint8_t*>(mapped);
  const std::uint8_t head[4] = {VRDEhFrameHdrBuiltVersion, kPointerEncoding, kCountEncoding, kTableEncoding};
  const auto count = static_cast<std::uint32_t>(entries.size());
  std::memcpy(table, head, sizeof head);
  std::memcpy(table + 4, &ehFrame, 8);
  std::memcpy(table + 12, &count, 4);
  auto* pairs = reinterpret_cast<std::int32_t*>(table + kHeaderBytes);
  for (const auto& [start, fde] : entries) {
    *pairs++ = static_cast<std::int32_t>(offset(start));
    *pairs++ = static_cast<std::int32_t>(offset(fde));
  }
  mprotect(mapped, bytes, PROT_READ);
  return reinterpret_cast<std::uint64_t>(mapped);
}

void VRDEhFrameIndexRelease(std::uint64_t table) noexcept {
  if (table == 0) return;
  std::uint32_t count = 0;
  std::memcpy(&count, reinterpret_cast<const void*>(table + 12), sizeof count);
  munmap(reinterpret_cast<void*>(table), mappedBytes(count));
}

bool VRDEhFrameIndexAddToNode(const char* path, std::uint64_t bias, VRDBinaryImageNode* node) {
  std::uint64_t ehFrame = 0;
  std::uint64_t size = 0;
  if (!VRDEhFrameIndexFindSection(path, bias, &ehFrame, &size)) {
    VRDLogInfo("No .eh_frame found in the sections of %s\n", path);
    return false;
  }
  const std::uint64_t table = VRDEhFrameIndexBuild(ehFrame, size, node->base, node->base + node->size);
  if (table == 0) {
    VRDLogInfo("No FDE of the .eh_frame of %s could be listed\n", path);
    return false;
  }
  node->ehFrameHdr = table;
  node->ehFrame = ehFrame;
  return true;
}

}  // namespace crashreporting
