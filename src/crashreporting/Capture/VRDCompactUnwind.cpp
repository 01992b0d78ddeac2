#include "crashreporting/Capture/VRDCompactUnwind.h"

#include <cstring>

#include "crashreporting/Capture/VRDDwarf.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDSafeRead.h"

namespace crashreporting {
namespace {

constexpr std::uint32_t kRegularPage = 2;
constexpr std::uint32_t kCompressedPage = 3;

struct FirstLevelEntry {
  std::uint32_t functionOffset;
  std::uint32_t secondLevelPageOffset;
  std::uint32_t lsdaIndexOffset;
};
static_assert(sizeof(FirstLevelEntry) == 12);

struct CompressedPageHeader {
  std::uint32_t kind;
  std::uint16_t entryPageOffset;
  std::uint16_t entryCount;
  std::uint16_t encodingsPageOffset;
  std::uint16_t encodingsCount;
};
static_assert(sizeof(CompressedPageHeader) == 12);

bool read(VRDUnwindContext* unwind, std::uint64_t address, void* out, std::size_t length) noexcept {
  return VRDReadablePagesRead(unwind == nullptr ? nullptr : VRDUnwindCachePages(unwind->cache), address, out, length);
}

bool lookupFirstLevel(VRDCompactUnwindContext* context, std::uint64_t pc) noexcept {
  const VRDCompactUnwindHeader& header = context->header;
  if (header.indexCount < 2 || pc < context->loadAddress) return false;
  const std::uint64_t target = pc - context->loadAddress;
  const std::uint64_t index = context->unwindInfo + header.indexSectionOffset;
  FirstLevelEntry entry;
  if (!VRDReadablePagesRead(nullptr, index, &entry, sizeof entry)) return false;
  // The last entry is a sentinel holding the end of the last function.
  for (std::uint32_t i = 0; i + 1 < header.indexCount; ++i) {
    FirstLevelEntry next;
    if (!VRDReadablePagesRead(nullptr, index + (i + 1) * sizeof(FirstLevelEntry), &next, sizeof next)) break;
    if (entry.functionOffset <= target && target < next.functionOffset) {
      context->functionOffset = entry.functionOffset;
      context->secondLevelPageOffset = entry.secondLevelPageOffset;
      context->lsdaIndexOffset = entry.lsdaIndexOffset;
      context->nextFunctionOffset = next.functionOffset;
      VRDLogDebug("Found first level (second => %u)\n", entry.secondLevelPageOffset);
      return true;
    }
    entry = next;
  }
  VRDLogWarn("Unable to find pc in first level\n");
  return false;
}

bool lookupSecondLevelCompressed(const VRDCompactUnwindContext* context, std::uint64_t pc,
                                 VRDCompactUnwindResult* result) noexcept {
  const std::uint64_t base = context->loadAddress + context->functionOffset;
  if (base > pc) {
    VRDLogWarn("Error: PC is invalid\n");
    return false;
  }
  const std::uint64_t target = pc - base;
  const std::uint64_t page = context->unwindInfo + context->secondLevelPageOffset;
  CompressedPageHeader header;
  if (!VRDReadablePagesRead(nullptr, page, &header, sizeof header)) return false;
  const std::uint64_t entries = page + header.entryPageOffset;
  auto entryAt = [&](std::uint32_t i, std::uint32_t* out) {
    return VRDReadablePagesRead(nullptr, entries + 4 * std::uint64_t{i}, out, sizeof *out);
  };

  // Last entry whose offset is at or below the target.
  std::uint32_t low = 0;
  std::uint32_t high = header.entryCount;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    std::uint32_t entry = 0;
    if (!entryAt(middle, &entry)) return false;
    if ((entry & 0x00FFFFFF) <= target) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low == 0) {
    VRDLogInfo("Unable to find PC in second level\n");
    return false;
  }
  const std::uint32_t found = low - 1;
  std::uint32_t entry = 0;
  if (!entryAt(found, &entry)) return false;
  result->functionStart = base + (entry & 0x00FFFFFF);
  if (found + 1 < header.entryCount) {
    std::uint32_t next = 0;
    if (!entryAt(found + 1, &next)) return false;
    result->functionEnd = base + (next & 0x00FFFFFF);
  } else {
    result->functionEnd = context->loadAddress + context->nextFunctionOffset;
  }
  if (pc < result->functionStart || pc >= result->functionEnd) {
    VRDLogWarn("PC does not match computed function range\n");
    return false;
  }

  const std::uint32_t encodingIndex = entry >> 24;
  const std::uint32_t commonCount = context->header.commonEncodingsArrayCount;
  std::uint64_t encodingAddress = 0;
  if (encodingIndex < commonCount) {
    encodingAddress = context->unwindInfo + context->header.commonEncodingsArraySectionOffset + 4 * encodingIndex;
  } else {
    if (encodingIndex - commonCount >= header.encodingsCount) return false;
    encodingAddress = page + header.encodingsPageOffset + 4 * (encodingIndex - commonCount);
  }
  if (!VRDReadablePagesRead(nullptr, encodingAddress, &result->encoding, sizeof result->encoding)) return false;
  if (result->encoding == 0) {
    VRDLogInfo("Entry has has no unwind info\n");
    return false;
  }
  return true;
}

bool lookupSecondLevel(const VRDCompactUnwindContext* context, std::uint64_t pc,
                       VRDCompactUnwindResult* result) noexcept {
  std::uint32_t kind = 0;
  if (!VRDReadablePagesRead(nullptr, context->unwindInfo + context->secondLevelPageOffset, &kind, sizeof kind)) {
    return false;
  }
  switch (kind) {
    case kCompressedPage:
      VRDLogInfo("Found a second level compressed header\n");
      return lookupSecondLevelCompressed(context, pc, result);
    case kRegularPage:
      VRDLogInfo("Found a second level regular header\n");
      VRDLogWarn("Encountered a regular second-level page\n");
      return false;
    default:
      VRDLogError("Unrecognized header kind - unable to continue\n");
      return false;
  }
}

bool computeStackSize(std::uint32_t encoding, bool indirect, std::uint64_t functionStart, VRDUnwindContext* unwind,
                      std::uint64_t* size) noexcept {
  const std::uint32_t stackField = (encoding >> 16) & 0xFF;
  if (!indirect) {
    *size = std::uint64_t{stackField} * 8;
    return true;
  }
  // The field locates the immediate of the function's `sub rsp` instruction.
  std::uint32_t immediate = 0;
  if (!read(unwind, functionStart + stackField, &immediate, sizeof immediate)) {
    VRDLogWarn("Error: unable to read subl value\n");
    return false;
  }
  *size = std::uint64_t{immediate} + ((encoding >> 13) & 7) * 8;
  return true;
}

bool unwindFrameless(std::uint32_t encoding, bool indirect, std::uint64_t functionStart,
                     VRDUnwindContext* unwind) noexcept {
  VRDLogWarn("Frameless unwind encountered with encoding %x\n", encoding);
  std::uint64_t stackSize = 0;
  if (!computeStackSize(encoding, indirect, functionStart, unwind, &stackSize)) {
    VRDLogWarn("Error: unable to compute stack size for encoding %x\n", encoding);
    return false;
  }
  const std::uint32_t count = (encoding >> 10) & 7;
  std::uint32_t registers[6] = {};
  if (!VRDCompactUnwindDecodeRegisters(count, encoding & 0x3FF, registers)) {
    VRDLogWarn("Error: unable to decompress registers %x\n", encoding);
    return false;
  }

  const std::uint64_t sp = VRDThreadContextGetStackPointer(&unwind->registers);
  if (stackSize < 8 + 8 * std::uint64_t{count}) return false;  // no room for the saved registers
  std::uint64_t location = sp + stackSize - 8 - 8 * count;
  for (std::uint32_t i = 0; i < count; ++i, location += 8) {
    if (registers[i] != 6) {
      VRDLogWarn("Error: skipping a restore of register %d at %p\n", registers[i], reinterpret_cast<void*>(location));
      continue;
    }
    std::uint64_t value = 0;
    if (!read(unwind, location, &value, sizeof value)) {
      VRDLogWarn("Error: unable to read memory to set register\n");
      return false;
    }
    if (!VRDThreadContextSetFramePointer(&unwind->registers, value)) {
      VRDLogWarn("Error: unable to set FP\n");
      return false;
    }
  }

  VRDLogWarn("SP is %p and we are reading %p\n", reinterpret_cast<void*>(sp), reinterpret_cast<void*>(location));
  std::uint64_t pc = 0;
  if (!read(unwind, location, &pc, sizeof pc)) {
    VRDLogWarn("Error: unable to read memory to set register\n");
    return false;
  }
  VRDLogWarn("Read PC to be %p\n", reinterpret_cast<void*>(pc));
  if (pc < VRDMinimumValidAddress) {
    VRDLogWarn("Error: computed PC is invalid\n");
    return false;
  }
  return VRDThreadContextSetPC(&unwind->registers, pc) &&
         VRDThreadContextSetStackPointer(&unwind->registers, location + 8);
}

bool unwindDwarf(const VRDCompactUnwindContext* context, std::uint32_t fdeOffset, VRDUnwindContext* unwind) noexcept {
  VRDLogInfo("Trying to read dwarf data with offset %x\n", fdeOffset);
  VRDDwarfFDERecord fde;
  VRDReadablePages* pages = VRDUnwindCachePages(unwind->cache);
  if (context->ehFrame < VRDMinimumValidAddress || fdeOffset == 0 ||
      !VRDDwarfParseFDERecord(&fde, context->ehFrame + fdeOffset, pages)) {
    VRDLogError("Unable to init FDE\n");
    return false;
  }
  const std::uint64_t pc = VRDThreadContextGetPC(&unwind->registers);
  if (VRDDwarfUnwindComputeRegisters(&fde, pc, &unwind->registers, pages) != VRDDwarfStep::Unwound) {
    VRDLogError("Failed to compute DWARF registers\n");
    return false;
  }
  return true;
}

}  // namespace

bool VRDCompactUnwindInit(VRDCompactUnwindContext* context, std::uint64_t unwindInfo, std::uint64_t ehFrame,
                          std::uint64_t loadAddress) noexcept {
  if (reinterpret_cast<std::uintptr_t>(context) < VRDMinimumValidAddress) {
    VRDLogWarn("Error: invalid context passed to compact unwind init\n");
    return false;
  }
  if (unwindInfo < VRDMinimumValidAddress) {
    VRDLogWarn("Error: invalid unwind info passed to compact unwind init\n");
    return false;
  }
  if (loadAddress < VRDMinimumValidAddress) {
    VRDLogWarn("Error: invalid load address passed to compact unwind init\n");
    return false;
  }
  std::memset(context, 0, sizeof *context);
  if (!VRDReadablePagesRead(nullptr, unwindInfo, &context->header, sizeof context->header)) {
    VRDLogWarn("Error: could not read memory contents of unwindInfo\n");
    return false;
  }
  if (context->header.version != 1) {
    VRDLogWarn("Error: bad unwind_info structure version (%d != %d)\n", context->header.version, 1);
    return false;
  }
  context->unwindInfo = unwindInfo;
  context->ehFrame = ehFrame;
  context->loadAddress = loadAddress;
  return true;
}

bool VRDCompactUnwindLookup(VRDCompactUnwindContext* context, std::uint64_t pc,
                            VRDCompactUnwindResult* result) noexcept {
  if (!lookupFirstLevel(context, pc)) return false;
  if (!lookupSecondLevel(context, pc, result)) {
    VRDLogInfo("Second-level PC lookup failed\n");
    return false;
  }
  return true;
}

bool VRDCompactUnwindLookupAndCompute(VRDCompactUnwindContext* context, VRDUnwindContext* unwind) noexcept {
  const std::uint64_t pc = VRDThreadContextGetPC(&unwind->registers);
  if (pc < context->loadAddress) return false;
  VRDCompactUnwindResult result{};
  if (!VRDCompactUnwindLookup(context, pc, &result)) {
    VRDLogInfo("Unable to lookup compact unwind for pc %p\n", reinterpret_cast<void*>(pc));
    return false;
  }
  if (!VRDCompactUnwindComputeRegisters(context, &result, unwind)) {
    VRDLogError("Failed to compute registers\n");
    return false;
  }
  return true;
}

bool VRDCompactUnwindComputeRegisters(VRDCompactUnwindContext* context, const VRDCompactUnwindResult* result,
                                      VRDUnwindContext* unwind) noexcept {
  if (reinterpret_cast<std::uintptr_t>(context) < VRDMinimumValidAddress ||
      reinterpret_cast<std::uintptr_t>(result) < VRDMinimumValidAddress ||
      reinterpret_cast<std::uintptr_t>(unwind) < VRDMinimumValidAddress) {
    VRDLogError("invalid inputs\n");
    return false;
  }
  const std::uint32_t encoding = result->encoding;
  VRDLogDebug("Computing registers for encoding %x\n", encoding);
  switch (encoding & VRDCompactUnwindModeMask) {
    case VRDCompactUnwindModeBPFrame:
      return VRDCompactUnwindBPFrame(unwind);
    case VRDCompactUnwindModeFramelessImmediate:
      return unwindFrameless(encoding, false, result->functionStart, unwind);
    case VRDCompactUnwindModeFramelessIndirect:
      return unwindFrameless(encoding, true, result->functionStart, unwind);
    case VRDCompactUnwindModeDwarf:
      return unwindDwarf(context, encoding & 0x00FFFFFF, unwind);
    default:
      VRDLogError("Invalid encoding %x\n", encoding);
      return false;
  }
}

bool VRDCompactUnwindBPFrame(VRDUnwindContext* unwind) noexcept {
  const std::uint64_t fp = VRDThreadContextGetFramePointer(&unwind->registers);
  std::uint64_t frame[2];
  if (!read(unwind, fp, frame, sizeof frame)) {
    VRDLogWarn("Error: failed to read memory at address %p\n", reinterpret_cast<void*>(fp));
    return false;
  }
  return VRDThreadContextSetPC(&unwind->registers, frame[1]) &&
         VRDThreadContextSetFramePointer(&unwind->registers, frame[0]) &&
         VRDThreadContextSetStackPointer(&unwind->registers, fp + 16);
}

bool VRDCompactUnwindDecodeRegisters(std::uint32_t count, std::uint32_t permutation,
                                     std::uint32_t registers[6]) noexcept {
  if (count > 6) {
    VRDLogWarn("Error: invalid register number count %d\n", count);
    return false;
  }
  // The permutation is a mixed-radix number: each digit picks among the registers not yet taken.
  std::uint32_t digits[6] = {};
  static constexpr std::uint32_t kRadix[7][6] = {
      {}, {6}, {6, 5}, {6, 5, 4}, {6, 5, 4, 3}, {6, 5, 4, 3, 2}, {6, 5, 4, 3, 2, 1},
  };
  for (std::uint32_t i = count; i-- > 0;) {
    digits[i] = permutation % kRadix[count][i];
    permutation /= kRadix[count][i];
  }
  if (count != 0 && permutation != 0) return false;  // out of range

  bool used[7] = {};
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t rank = 0;
    registers[i] = 0;
    for (std::uint32_t number = 1; number <= 6; ++number) {
      if (used[number]) continue;
      if (rank++ == digits[i]) {
        registers[i] = number;
        used[number] = true;
        break;
      }
    }
  }
  return true;
}

}  // namespace crashreporting
