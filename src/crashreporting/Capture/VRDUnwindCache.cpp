#include "crashreporting/Capture/VRDUnwindCache.h"

#include "crashreporting/Capture/VRDSDKLog.h"

namespace crashreporting {
namespace {

const VRDEhFrameHdrTable* tableFor(VRDUnwindCache* cache, std::uint64_t header, VRDEhFrameHdrTable* scratch) noexcept {
  if (cache != nullptr) {
    for (const VRDEhFrameHdrTable& table : cache->tables) {
      if (table.header == header) return &table;
    }
  }
  if (!VRDEhFrameHdrReadTable(header, scratch, VRDUnwindCachePages(cache))) return nullptr;
  if (cache == nullptr) return scratch;
  VRDEhFrameHdrTable& slot = cache->tables[cache->nextTable++ % VRDUnwindCache::kTables];
  slot = *scratch;
  return &slot;
}

void lookUp(VRDUnwindCache* cache, VRDDwarfCIECache* cies, std::uint64_t header, std::uint64_t pc,
            VRDUnwindRows* rows) noexcept {
  VRDReadablePages* pages = VRDUnwindCachePages(cache);
  VRDEhFrameHdrTable scratch;
  const VRDEhFrameHdrTable* table = tableFor(cache, header, &scratch);
  std::uint64_t address = 0;
  VRDDwarfFDERecord fde;
  const VRDDwarfRegisterRules* initial = nullptr;
  const bool found = table != nullptr && VRDEhFrameHdrFindFDEAddress(table, pc, &address, pages) &&
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
__attribute__((noinline)) void lookUpWithoutCache(std::uint64_t header, std::uint64_t pc, VRDUnwindRows* rows) noexcept {
  VRDDwarfCIECache cies;
  VRDDwarfCIECacheReset(&cies);
  lookUp(nullptr, &cies, header, pc, rows);
}

}  // namespace

void VRDUnwindCacheReset(VRDUnwindCache* cache) noexcept {
  VRDReadablePagesReset(&cache->pages);
  for (VRDEhFrameHdrTable& table : cache->tables) table.header = 0;
  cache->nextTable = 0;
  VRDDwarfCIECacheReset(&cache->cies);
  for (VRDUnwindRows& rows : cache->rows) rows.pc = 0;
}

const VRDUnwindRows* VRDUnwindCacheFindRows(VRDUnwindCache* cache, std::uint64_t header, std::uint64_t pc,
                                            VRDUnwindRows* scratch) noexcept {
  if (cache == nullptr) {
    lookUpWithoutCache(header, pc, scratch);
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
  lookUp(cache, &cache->cies, header, pc, rows);
  return rows;
}

}  // namespace crashreporting
