#include "crashreporting/Capture/VRDMachException.h"

#include <signal.h>

namespace crashreporting {

const char* VRDMachExceptionName(std::int32_t exception) noexcept {
  switch (exception) {
    case 1: return "EXC_BAD_ACCESS";
    case 2: return "EXC_BAD_INSTRUCTION";
    case 3: return "EXC_ARITHMETIC";
    case 6: return "EXC_BREAKPOINT";
    case 12: return "EXC_GUARD";
    default: return nullptr;
  }
}

const char* VRDMachExceptionCodeName(std::int32_t exception, std::int64_t code) noexcept {
  static constexpr const char* arithmetic[] = {"EXC_I386_DIV",    "EXC_I386_INTO",   "EXC_I386_NOEXT",
                                               "EXC_I386_EXTOVR", "EXC_I386_EXTERR", "EXC_I386_EMERR",
                                               "EXC_I386_BOUND",  "EXC_I386_SSEEXTERR"};
  static constexpr const char* breakpoint[34] = {
      "EXC_I386_DIVERR",    "EXC_I386_SGLSTP",    "EXC_I386_NMIFLT",   "EXC_I386_BPTFLT",  "EXC_I386_INTOFLT",
      "EXC_I386_BOUNDFLT",  "EXC_I386_INVOPFLT",  "EXC_I386_NOEXTFLT", nullptr,            "EXC_I386_EXTOVRFLT",
      "EXC_I386_INVTSSFLT", "EXC_I386_SEGNPFLT",  "EXC_I386_STKFLT",   "EXC_I386_GPFLT",   "EXC_I386_PGFLT",
      nullptr,              "EXC_I386_EXTERRFLT", "EXC_I386_ALIGNFLT", nullptr,            nullptr,
      nullptr,              nullptr,              nullptr,             nullptr,            nullptr,
      nullptr,              nullptr,              nullptr,             nullptr,            nullptr,
      nullptr,              nullptr,              "EXC_I386_ENOEXTFLT", "EXC_I386_ENDPERR"};
  switch (exception) {
    case 1:
      if (code == 1) return "KERN_INVALID_ADDRESS";
      if (code == 2) return "KERN_PROTECTION_FAILURE";
      return nullptr;
    case 2: return "EXC_I386_INVOP";
    case 3: return code >= 1 && code <= 8 ? arithmetic[code - 1] : nullptr;
    case 6: return code >= 0 && code < 34 ? breakpoint[code] : nullptr;
    default: return nullptr;
  }
}

std::uint32_t VRDMachExceptionMaskForSignal(int signal) noexcept {
  switch (signal) {
    case SIGILL: return VRDMachExceptionMaskBadInstruction;
    case SIGTRAP: return VRDMachExceptionMaskBreakpoint;
    case SIGABRT: return VRDMachExceptionMaskCrash;
    case SIGFPE: return VRDMachExceptionMaskArithmetic;
    case SIGBUS: return VRDMachExceptionMaskBadAccess;
    case SIGSEGV: return VRDMachExceptionMaskBadAccess;
    case SIGSYS: return VRDMachExceptionMaskCrash;
    default: return 0;
  }
}

void VRDMachExceptionRecordLine(VRDFile* file, std::int32_t exception, const std::int64_t* codes,
                                std::uint32_t codeCount, std::uint32_t originalPorts, std::int64_t time) noexcept {
  VRDFileWriteSectionStart(file, "mach_exception");
  VRDFileWriteHashStart(file);
  VRDFileWriteHashEntryInt64(file, "exception", exception);
  VRDFileWriteHashKey(file, "codes");
  VRDFileWriteArrayStart(file);
  for (std::uint32_t i = 0; i < codeCount; ++i) VRDFileWriteArrayEntryUint64(file, static_cast<std::uint64_t>(codes[i]));
  VRDFileWriteArrayEnd(file);
  VRDFileWriteHashEntryString(file, "name", VRDMachExceptionName(exception));
  VRDFileWriteHashEntryString(file, "code_name", VRDMachExceptionCodeName(exception, codeCount > 0 ? codes[0] : 0));
  VRDFileWriteHashEntryUint64(file, "original_ports", originalPorts);
  VRDFileWriteHashEntryInt64(file, "time", time);
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
}

}  // namespace crashreporting
