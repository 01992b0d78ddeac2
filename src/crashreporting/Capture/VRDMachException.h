#pragma once

#include <cstdint>

#include "crashreporting/Capture/VRDFile.h"

// What the Mach exception catcher knows of exceptions: their names, the exception-mask bit of each signal, and
// the record line. Linux has no Mach exception ports (the kernel turns every hardware fault into a signal,
// which the signal path records), so no exception server is started; these stay for the controller's mask and
// for reading records made where one runs.

namespace crashreporting {

inline constexpr std::uint32_t VRDMachExceptionMaskBadAccess = 0x2;
inline constexpr std::uint32_t VRDMachExceptionMaskBadInstruction = 0x4;
inline constexpr std::uint32_t VRDMachExceptionMaskArithmetic = 0x8;
inline constexpr std::uint32_t VRDMachExceptionMaskBreakpoint = 0x40;
inline constexpr std::uint32_t VRDMachExceptionMaskCrash = 0x400;

/// "EXC_BAD_ACCESS" (1), "EXC_BAD_INSTRUCTION" (2), "EXC_ARITHMETIC" (3), "EXC_BREAKPOINT" (6), "EXC_GUARD" (12);
/// null for any other.
const char* VRDMachExceptionName(std::int32_t exception) noexcept;
/// The name of the first code of `exception` (0 when the message carries none); null when it has none.
const char* VRDMachExceptionCodeName(std::int32_t exception, std::int64_t code) noexcept;
/// The exception-mask bit that stands for `signal` (Linux numbers); 0 for a signal outside the table.
std::uint32_t VRDMachExceptionMaskForSignal(int signal) noexcept;
/// The `mach_exception` line.
void VRDMachExceptionRecordLine(VRDFile* file, std::int32_t exception, const std::int64_t* codes,
                                std::uint32_t codeCount, std::uint32_t originalPorts, std::int64_t time) noexcept;

}  // namespace crashreporting
