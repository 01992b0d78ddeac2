#include "crashreporting/Capture/VRDEhFrameIndex.h"

#include <elf.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "crashreporting/Capture/VRDDwarf.h"
#include "crashreporting/Capture/VRDEhFrameHdr.h"
#include "crashreporting/Capture/VRDImageFile.h"
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

// Where the section `.eh_frame` of the ELF file open at `fd` lies in memory when the file's addresses are loaded
// `bias` higher; false when the file cannot be read, or has no section headers or no such section.
bool findSection(int fd, std::uint64_t bias, std::uint64_t* address, std::uint64_t* size) {
  ElfW(Ehdr) header;
  if (!VRDImageFileRead(fd, 0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(ElfW(Shdr)) || header.e_shnum == 0 ||
      header.e_shstrndx == SHN_UNDEF || header.e_shstrndx >= header.e_shnum) {
    return false;
  }
  std::vector<ElfW(Shdr)> sections(header.e_shnum);
  if (!VRDImageFileRead(fd, header.e_shoff, sections.data(), sections.size() * sizeof(ElfW(Shdr)))) return false;
  const ElfW(Shdr)& names = sections[header.e_shstrndx];
  if (names.sh_size == 0 || names.sh_size > kMaximumTableBytes) return false;
  std::vector<char> text(names.sh_size + 1, '\0');
  if (!VRDImageFileRead(fd, names.sh_offset, text.data(), names.sh_size)) return false;
  for (const ElfW(Shdr)& section : sections) {
    if (section.sh_name >= names.sh_size || std::strcmp(text.data() + section.sh_name, ".eh_frame") != 0) continue;
    if ((section.sh_flags & SHF_ALLOC) == 0 || section.sh_addr == 0 || section.sh_size == 0) return false;
    *address = bias + section.sh_addr;
    *size = section.sh_size;
    return *size <= ~std::uint64_t{0} - *address;
  }
  return false;
}

// The FDEs of a section by (function start, FDE address), and what was left out: counts of records that do not
// parse, and where a record that does not fit ended the walk.
struct Listing {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> fdes;
  unsigned brokenFDEs = 0;
  unsigned brokenCIEs = 0;
  unsigned fdesOfBrokenCIEs = 0;
  unsigned fdesWithoutCIE = 0;
  bool damaged = false;
  std::uint64_t damageOffset = 0;
  bool leftOut() const { return damaged || brokenFDEs + brokenCIEs + fdesOfBrokenCIEs + fdesWithoutCIE > 0; }
};

// One record's place: `fields` is where its CIE id or pointer lies, `next` where the next record starts.
struct Record {
  std::uint64_t fields = 0;
  std::uint64_t next = 0;
  std::uint32_t id = 0;
};

// The record at `at`, checked against the section's `end` without overflowing; false when it does not fit.
bool readRecord(VRDReadablePages* pages, std::uint64_t at, std::uint64_t end, std::uint32_t length, Record* out) {
  std::uint64_t size = length;
  out->fields = at + 4;
  if (length == 0xffffffffu) {
    if (end - out->fields < 8 || !VRDReadablePagesRead(pages, out->fields, &size, 8)) return false;
    out->fields += 8;
  }
  // Every record holds at least its CIE id or pointer.
  if (size < 4 || size > end - out->fields || !VRDReadablePagesRead(pages, out->fields, &out->id, 4)) return false;
  out->next = out->fields + size;
  return true;
}

// The FDEs of the section whose functions lie in [codeStart, codeEnd). A record's damage costs that record: an
// FDE that does not parse is left out alone, a CIE that does not parse with its FDEs; the first record that does
// not fit in the section ends the walk. The records' parses log nothing: the listing counts what it left out.
Listing listFDEs(std::uint64_t ehFrame, std::uint64_t end, std::uint64_t codeStart, std::uint64_t codeEnd) {
  Listing listing;
  auto pages = std::make_unique<VRDReadablePages>();
  VRDReadablePagesReset(pages.get());
  std::map<std::uint64_t, std::optional<VRDDwarfCIERecord>> cies;  // by address; empty when broken
  for (std::uint64_t at = ehFrame; end - at >= 4;) {
    std::uint32_t length = 0;
    Record record;
    if (VRDReadablePagesRead(pages.get(), at, &length, 4) && length == 0) break;  // the terminator
    if (length == 0 || !readRecord(pages.get(), at, end, length, &record)) {
      listing.damaged = true;
      listing.damageOffset = at - ehFrame;
      break;
    }
    const std::uint64_t recordStart = at;
    at = record.next;
    if (record.id == 0) {
      VRDDwarfCIERecord cie;
      const bool parsed = VRDDwarfParseCIERecord(&cie, recordStart, pages.get(), true) && VRDDwarfCIEIsValid(&cie);
      listing.brokenCIEs += parsed ? 0 : 1;
      cies.emplace(recordStart, parsed ? std::optional(cie) : std::nullopt);
      continue;
    }
    const auto cie = record.id <= record.fields - ehFrame ? cies.find(record.fields - record.id) : cies.end();
    VRDDwarfFDERecord fde;
    if (cie == cies.end()) {
      ++listing.fdesWithoutCIE;
    } else if (!cie->second) {
      ++listing.fdesOfBrokenCIEs;
    } else if (!VRDDwarfParseFDERecordWithCIE(&fde, recordStart, &*cie->second, pages.get(), true)) {
      ++listing.brokenFDEs;
    } else if (fde.pcRange > 0 && fde.pcBegin >= codeStart && fde.pcBegin < codeEnd) {
      listing.fdes.emplace_back(fde.pcBegin, recordStart);
    }
  }
  return listing;
}

}  // namespace

std::uint64_t VRDEhFrameIndexBuild(std::uint64_t ehFrame, std::uint64_t size, std::uint64_t codeStart,
                                   std::uint64_t codeEnd, const char* image) {
  if (size > ~std::uint64_t{0} - ehFrame) return 0;
  Listing listing = listFDEs(ehFrame, ehFrame + size, codeStart, codeEnd);
  if (listing.leftOut()) {
    VRDLogWarn(
        "The .eh_frame of %s is damaged: %u FDEs listed up to offset %p of %p; left out: %u FDEs that "
        "cannot be parsed, %u CIEs that cannot be parsed and their %u FDEs, %u FDEs whose CIE pointer leads "
        "to no CIE\n",
        image, static_cast<unsigned>(listing.fdes.size()),
        reinterpret_cast<void*>(listing.damaged ? listing.damageOffset : size), reinterpret_cast<void*>(size),
        listing.brokenFDEs, listing.brokenCIEs, listing.fdesOfBrokenCIEs, listing.fdesWithoutCIE);
  }
  auto& entries = listing.fdes;
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

bool VRDEhFrameIndexAddToNode(const char* path, const char* uuid, std::uint64_t bias, VRDBinaryImageNode* node) {
  const int fd = VRDImageFileOpen(node->base, path, uuid);
  if (fd < 0) {
    VRDLogInfo("The file mapped for %s cannot be opened: its .eh_frame is not listed\n", path);
    return false;
  }
  std::uint64_t ehFrame = 0;
  std::uint64_t size = 0;
  const bool found = findSection(fd, bias, &ehFrame, &size);
  close(fd);
  if (!found) {
    VRDLogInfo("No .eh_frame found in the sections of %s\n", path);
    return false;
  }
  const std::uint64_t table = VRDEhFrameIndexBuild(ehFrame, size, node->base, node->base + node->size, path);
  if (table == 0) {
    VRDLogInfo("No FDE of the .eh_frame of %s could be listed\n", path);
    return false;
  }
  node->ehFrameHdr = table;
  node->ehFrame = ehFrame;
  return true;
}

}  // namespace crashreporting
