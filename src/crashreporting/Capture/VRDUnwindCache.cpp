#include "crashreporting/Capture/VRDUnwindCache.h"

#include "crashreporting/Capture/VRDSDKLog.h"

namespace crashreporting {
namespace {

VRDEhFrameHdrTable* tableFor(VRDUnwindCache* cache, const VRDUnwindImage& image,
                             VRDEhFrameHdrTable* scratch) noexcept {
  const std::uint64_t header = image.ehFrameHdr;
  if (cache != nullptr) {
    for (VRDEhFrameHdrTable& table : cache->tables) {
      if (table.header == header) return &table;
    }
  }
  if (!VRDEhFrameHdrReadTable(header, scratch, VRDUnwindCachePages(cache))) return nullptr;
  if (cache == nullptr) return scratch;
  // An image unloaded since the table last looked has left no readable header there, or (another image in
  // its place) one that leads elsewhere.
  const std::uint64_t tableEnd = scratch->entries + scratch->count * 8;
  if (image.ehFrame != 0 && scratch->ehFrame == image.ehFrame && image.segmentStart < image.segmentEnd &&
      header >= image.segmentStart && tableEnd > scratch->entries && tableEnd <= image.segmentEnd &&
      image.ehFrame >= image.segmentStart && image.ehFrame < image.segmentEnd) {
    VRDReadablePagesTrust(&cache->pages, image.segmentStart, image.segmentEnd);
  }
  VRDEhFrameHdrTable& slot = cache->tables[cache->nextTable++ % VRDUnwindCache::kTables];
  slot = *scratch;
  return &slot;
}

void lookUp(VRDUnwindCache* cache, VRDDwarfCIECache* cies, const VRDUnwindImage& image, std::uint64_t pc,
            VRDUnwindRows* rows) noexcept {
  VRDReadablePages* pages = VRDUnwindCachePages(cache);
  VRDEhFrameHdrTable scratch;
  VRDEhFrameHdrTable* table = tableFor(cache, image, &scratch);
  std::uint64_t address = 0;
  VRDDwarfFDERecord fde;
  const VRDDwarfRegisterRules* initial = nullptr;
  const bool found = table != nullptr && VRDEhFrameHdrFindFDEAddress(table, pc, &address, pages, &table->lastFound) &&
                     VRDDwarfParseFDERecordCachingCIE(&fde, address, cies, &initial, pages) && pc >= fde.pcBegin &&
                     pc - fde.pcBegin < fde.pcRange &&
                     fde.cie.returnAddressRegister == VRDDwarfReturnAddressRegister &&
                     VRDDwarfRulesForPCFromInitial(&fde, initial, pc, &rows->rules, pages);
  if (!found) VRDLogInfo("No DWARF frame for %p\n", reinterpret_cast<void*>(pc));
  rows->pc = pc;
  rows->found = found;
  rows->signalFrame = found && fde.cie.signalFrame;
}

// Kept out of line: only a walk without a cache puts CIEs (3 KiB) on the stack, a page more of it.
__attribute__((noinline)) void lookUpWithoutCache(const VRDUnwindImage& image, std::uint64_t pc,
                                                  VRDUnwindRows* rows) noexcept {
  VRDDwarfCIECache cies;
  VRDDwarfCIECacheReset(&cies);
  lookUp(nullptr, &cies, image, pc, rows);
}

}  // namespace

void VRDUnwindCacheReset(VRDUnwindCache* cache) noexcept {
  VRDReadablePagesReset(&cache->pages);
  for (VRDEhFrameHdrTable& table : cache->tables) table.header = 0;
  cache->nextTable = 0;
  VRDDwarfCIECacheReset(&cache->cies);
  for (VRDUnwindRows& rows : cache->rows) rows.pc = 0;
}

const VRDUnwindRows* VRDUnwindCacheFindRowsInImage(VRDUnwindCache* cache, const VRDUnwindImage& image,
                                                   std::uint64_t pc, VRDUnwindRows* scratch) noexcept {
  if (cache == nullptr) {
    lookUpWithoutCache(image, pc, scratch);
    return scratch;
  }
  // A PC may take any of a few slots from the one its hash picks, so that a stack of distinct functions keeps
  // all its rows rather than evicting its own.
  const std::size_t first = VRDUnwindCacheRowSlot(pc);
  VRDUnwindRows* free = nullptr;
  for (std::size_t probe = 0; probe < VRDUnwindCache::kRowProbes; ++probe) {
    VRDUnwindRows& rows = cache->rows[(first + probe) % VRDUnwindCache::kRows];
    if (rows.pc == pc && pc != 0) return &rows;
    if (rows.pc == 0 && free == nullptr) free = &rows;
  }
  VRDUnwindRows* const rows = free != nullptr ? free : &cache->rows[first];
  lookUp(cache, &cache->cies, image, pc, rows);
  return rows;
}

}  // namespace crashreporting
