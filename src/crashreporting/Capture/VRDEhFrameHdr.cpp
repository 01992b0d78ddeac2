#include "crashreporting/Capture/VRDEhFrameHdr.h"

#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDSafeRead.h"

namespace crashreporting {
namespace {

constexpr std::uint8_t kDataRelativeSigned4 = 0x3b;
// No image holds more functions than this; a larger count is a broken header.
constexpr std::uint64_t kMaximumEntries = std::uint64_t{1} << 26;

// A table word: a plain load when its page is known (the words are aligned, so never straddle two pages).
inline bool readTableWord(VRDReadablePages* pages, std::uint64_t address, std::int32_t* out) noexcept {
  const std::uint64_t page = address / VRDReadablePageSize;
  if (pages != nullptr && address % sizeof *out == 0 && pages->pages[page % VRDReadablePages::kSlots] == page + 1) {
    VRDReadablePagesCopy(address, out, sizeof *out);
    return true;
  }
  return VRDReadablePagesRead(pages, address, out, sizeof *out);
}

}  // namespace

bool VRDEhFrameHdrReadTable(std::uint64_t header, VRDEhFrameHdrTable* table, VRDReadablePages* pages) noexcept {
  if (header < VRDMinimumValidAddress || table == nullptr) return false;
  std::uint8_t head[4] = {};
  if (!VRDReadablePagesRead(pages, header, head, sizeof head) ||
      (head[0] != 1 && head[0] != VRDEhFrameHdrBuiltVersion)) {
    VRDLogWarn("Error: unreadable eh_frame_hdr at %p\n", reinterpret_cast<void*>(header));
    return false;
  }
  VRDDwarfCursor cursor{header + 4, header + 4 + 32, pages};
  const std::uint64_t ehFrame = VRDParseAddressWithEncodingAndAdvance(&cursor, head[1]);
  if (ehFrame == ~std::uint64_t{0}) return false;
  const std::uint64_t count = VRDParseAddressWithEncodingAndAdvance(&cursor, head[2]);
  if (head[2] == 0xFF || count == ~std::uint64_t{0} || count == 0 || count > kMaximumEntries) return false;
  if (head[3] != kDataRelativeSigned4) {
    VRDLogWarn("Error: eh_frame_hdr table encoding 0x%02x is not searchable\n", head[3]);
    return false;
  }
  *table = VRDEhFrameHdrTable{header, cursor.address, count, ehFrame, count, head[0] == 1 ? header : ehFrame};
  return true;
}

namespace {

// The start of entry `index`, as an address.
inline bool entryStart(const VRDEhFrameHdrTable* table, std::uint64_t index, VRDReadablePages* pages,
                       std::uint64_t* start) noexcept {
  std::int32_t word = 0;
  if (!readTableWord(pages, table->entries + index * 8, &word)) return false;
  *start = table->base + static_cast<std::uint64_t>(std::int64_t{word});
  return true;
}

// Narrows the search to [*low, *low + *left) from the entry found last: steps of 1, 2, 4… away from it until
// an entry lies on the other side of pc. Callers of one image's functions often lie close to them.
bool narrowFromHint(const VRDEhFrameHdrTable* table, std::uint64_t pc, std::uint64_t hint, std::uint64_t* low,
                    std::uint64_t* left, VRDReadablePages* pages) noexcept {
  const std::uint64_t count = table->count;
  std::uint64_t start = 0;
  if (!entryStart(table, hint, pages, &start)) return false;
  std::uint64_t step = 1;
  if (start <= pc) {
    std::uint64_t from = hint;  // its start is at or below pc
    for (; step < count - from; step *= 2) {
      if (!entryStart(table, from + step, pages, &start)) return false;
      if (start > pc) {
        *low = from;
        *left = step;
        return true;
      }
      from += step;
    }
    *low = from;
    *left = count - from;
    return true;
  }
  std::uint64_t to = hint;  // its start is above pc
  for (; step <= to; step *= 2) {
    if (!entryStart(table, to - step, pages, &start)) return false;
    if (start <= pc) {
      *low = to - step;
      *left = step;
      return true;
    }
    to -= step;
  }
  *low = 0;
  *left = to > 0 ? to : 1;
  return true;
}

}  // namespace

bool VRDEhFrameHdrFindFDEAddress(const VRDEhFrameHdrTable* table, std::uint64_t pc, std::uint64_t* fde,
                                 VRDReadablePages* pages, std::uint64_t* hint) noexcept {
  if (table == nullptr || fde == nullptr || table->count == 0) return false;
  const std::uint64_t base = table->base;
  // The last entry whose start is at or below pc (the first one when none is): `low` moves up by half of what
  // is left or stays, without a branch the processor could guess wrong, half the time, at every step.
  std::uint64_t low = 0;
  std::uint64_t left = table->count;
  if (hint != nullptr && *hint < table->count && !narrowFromHint(table, pc, *hint, &low, &left, pages)) return false;
  while (left > 1) {
    // Once the entries left lie on one known page, the rest of the search is plain loads.
    const std::uint64_t first = table->entries + low * 8;
    const std::uint64_t last = first + left * 8 - 1;
    const std::uint64_t page = first / VRDReadablePageSize;
    if (pages != nullptr && last > first && last / VRDReadablePageSize == page &&
        pages->pages[page % VRDReadablePages::kSlots] == page + 1) {
      break;
    }
    const std::uint64_t half = left / 2;
    std::uint64_t start = 0;
    if (!entryStart(table, low + half, pages, &start)) return false;
    low = start <= pc ? low + half : low;
    left -= half;
  }
  const std::uint64_t entries = table->entries;
  while (left > 1) {
    const std::uint64_t half = left / 2;
    // Both words the next step may read are fetched while this one is compared.
    const std::uint64_t next = (left - half) / 2;
    __builtin_prefetch(reinterpret_cast<const void*>(entries + (low + next) * 8));
    __builtin_prefetch(reinterpret_cast<const void*>(entries + (low + half + next) * 8));
    std::int32_t start = 0;
    VRDReadablePagesCopy(entries + (low + half) * 8, &start, sizeof start);
    low = base + static_cast<std::uint64_t>(std::int64_t{start}) <= pc ? low + half : low;
    left -= half;
  }
  std::int32_t entry[2] = {};
  if (!VRDReadablePagesRead(pages, table->entries + low * 8, entry, sizeof entry)) return false;
  if (base + static_cast<std::uint64_t>(std::int64_t{entry[0]}) > pc) return false;
  *fde = base + static_cast<std::uint64_t>(std::int64_t{entry[1]});
  if (hint != nullptr) *hint = low;
  return true;
}

bool VRDEhFrameHdrFindFDEInTable(const VRDEhFrameHdrTable* table, std::uint64_t pc, VRDDwarfFDERecord* fde,
                                 VRDReadablePages* pages) noexcept {
  std::uint64_t address = 0;
  if (fde == nullptr || !VRDEhFrameHdrFindFDEAddress(table, pc, &address, pages)) return false;
  if (!VRDDwarfParseFDERecord(fde, address, pages)) return false;
  return pc >= fde->pcBegin && pc - fde->pcBegin < fde->pcRange;
}

bool VRDEhFrameHdrFindFDE(std::uint64_t header, std::uint64_t pc, VRDDwarfFDERecord* fde,
                          VRDReadablePages* pages) noexcept {
  VRDEhFrameHdrTable table;
  return fde != nullptr && VRDEhFrameHdrReadTable(header, &table, pages) &&
         VRDEhFrameHdrFindFDEInTable(&table, pc, fde, pages);
}

}  // namespace crashreporting
