#pragma once

#include <cstdint>

#include "crashreporting/Capture/VRDUnwind.h"

// Compact unwind information (`__unwind_info`, version 1): a two-level index from function offset to a 32-bit
// encoding, and the register rules each encoding stands for. Plain code over memory with safe reads only; ELF
// images carry none, so the driver never reaches it on Linux.

namespace crashreporting {

struct VRDCompactUnwindHeader {
  std::uint32_t version;
  std::uint32_t commonEncodingsArraySectionOffset;
  std::uint32_t commonEncodingsArrayCount;
  std::uint32_t personalityArraySectionOffset;
  std::uint32_t personalityArrayCount;
  std::uint32_t indexSectionOffset;
  std::uint32_t indexCount;
};
static_assert(sizeof(VRDCompactUnwindHeader) == 28);

struct VRDCompactUnwindContext {
  std::uint64_t unwindInfo;
  std::uint64_t ehFrame;
  std::uint64_t loadAddress;
  VRDCompactUnwindHeader header;
  std::uint32_t functionOffset;  // first-level result
  std::uint32_t secondLevelPageOffset;
  std::uint32_t lsdaIndexOffset;
  std::uint32_t nextFunctionOffset;
};

struct VRDCompactUnwindResult {
  std::uint32_t encoding;
  std::uint64_t functionStart;
  std::uint64_t functionEnd;
};

inline constexpr std::uint32_t VRDCompactUnwindModeMask = 0x0F000000;
inline constexpr std::uint32_t VRDCompactUnwindModeBPFrame = 0x01000000;
inline constexpr std::uint32_t VRDCompactUnwindModeFramelessImmediate = 0x02000000;
inline constexpr std::uint32_t VRDCompactUnwindModeFramelessIndirect = 0x03000000;
inline constexpr std::uint32_t VRDCompactUnwindModeDwarf = 0x04000000;

/// Zeroes the context, copies the header and keeps the addresses; false for bad addresses or a version other
/// than 1.
bool VRDCompactUnwindInit(VRDCompactUnwindContext* context, std::uint64_t unwindInfo, std::uint64_t ehFrame,
                          std::uint64_t loadAddress) noexcept;
/// Finds the encoding for `pc`; false when no compressed page describes it (regular pages are not read).
bool VRDCompactUnwindLookup(VRDCompactUnwindContext* context, std::uint64_t pc,
                            VRDCompactUnwindResult* result) noexcept;
/// Looks up the unwind context's PC and steps its registers to the caller.
bool VRDCompactUnwindLookupAndCompute(VRDCompactUnwindContext* context, VRDUnwindContext* unwind) noexcept;
bool VRDCompactUnwindComputeRegisters(VRDCompactUnwindContext* context, const VRDCompactUnwindResult* result,
                                      VRDUnwindContext* unwind) noexcept;
/// Caller of an RBP frame: return address and saved RBP at FP, SP = FP + 16.
bool VRDCompactUnwindBPFrame(VRDUnwindContext* unwind) noexcept;

/// Decodes a frameless encoding's register permutation into the saved registers, in stack order (1 rbx,
/// 2 r12, 3 r13, 4 r14, 5 r15, 6 rbp); false for a count above 6 or a permutation out of range.
bool VRDCompactUnwindDecodeRegisters(std::uint32_t count, std::uint32_t permutation,
                                     std::uint32_t registers[6]) noexcept;

}  // namespace crashreporting
