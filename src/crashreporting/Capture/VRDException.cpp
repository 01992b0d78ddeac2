#include "crashreporting/Capture/VRDException.h"

#include <cxxabi.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <typeinfo>

#include "crashreporting/Capture/VRDDemangle.h"
#include "crashreporting/Capture/VRDHandler.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDUserLogging.h"
#include "crashreporting/Capture/VRDUtilities.h"
#include "crashreporting/platform/ForkedChild.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

bool valid(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer) >= VRDMinimumValidAddress; }

void recordFatal(std::uint32_t type, const char* name, const char* reason, const std::vector<VRDStackFrame>& frames,
                 bool deliver) noexcept {
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  const VRDRecorderClaim claim = VRDContextClaimRecorder();
  VRDFile file;
  if (!valid(readOnly->exception.recordPath) || !VRDFileInitWithPath(&file, readOnly->exception.recordPath, false)) {
    VRDLogWarn("Unable to open exception file\n");
  } else {
    VRDExceptionWriteLine(&file, type, name, reason, static_cast<std::int64_t>(std::time(nullptr)), frames);
    if (claim == VRDRecorderClaim::Failed) {
      // Two recorders stopping each other's threads would both wait in vain.
      VRDLogWarn("Error: another thread is still recording, skipping the threads\n");
    } else {
      VRDHandler(&file, VRDCurrentThreadID(), nullptr);
    }
    VRDFileClose(&file);
  }
  VRDContextReleaseRecorder(claim);
  if (deliver && valid(readOnly->submittableCrashDelegate)) {
    readOnly->submittableCrashDelegate->potentiallySubmittableCrashOccurred();
  }
}

std::string typeName(const char* mangled) { return VRDDemangleCppName(mangled).value_or(mangled); }

}  // namespace

const char* VRDExceptionTypeName(std::uint32_t type) noexcept {
  switch (type) {
    case VRDExceptionTypeObjectiveC: return "objective-c";
    case VRDExceptionTypeCpp: return "c++";
    case VRDExceptionTypeJavaScript: return "javascript";
    case VRDExceptionTypeCustom: return "custom";
    default: return "unknown";
  }
}

bool VRDExceptionTypeIsFatal(std::uint32_t type) noexcept {
  return type == VRDExceptionTypeObjectiveC || type == VRDExceptionTypeCpp;
}

void VRDExceptionInitialize(VRDExceptionContext* context, std::uint32_t* customExceptionCounter) {
  if (!VRDUnlinkIfExists(context->recordPath)) {
    VRDLogWarn("Unable to reset the exception file %s\n", VRDErrorText(errno));
  }
  context->previousTerminateHandler = std::set_terminate(VRDTerminateHandler);
  if (valid(customExceptionCounter)) *customExceptionCounter = 0;
}

void VRDExceptionRestoreTerminateHandler(const VRDExceptionContext* context) noexcept {
  if (std::get_terminate() != VRDTerminateHandler) return;
  std::set_terminate(context->previousTerminateHandler);
}

void VRDExceptionWriteLine(VRDFile* file, std::uint32_t type, const char* name, const char* reason, std::int64_t time,
                           const std::vector<VRDStackFrame>& frames) noexcept {
  VRDFileWriteSectionStart(file, "exception");
  VRDFileWriteHashStart(file);
  VRDFileWriteHashEntryString(file, "type", VRDExceptionTypeName(type));
  VRDFileWriteHashEntryHexEncodedString(file, "name", name);
  VRDFileWriteHashEntryHexEncodedString(file, "reason", reason);
  VRDFileWriteHashEntryInt64(file, "time", time);
  if (!frames.empty()) {
    VRDFileWriteHashKey(file, "frames");
    VRDFileWriteArrayStart(file);
    for (const VRDStackFrame& frame : frames) {
      VRDFileWriteHashStart(file);
      VRDFileWriteHashEntryUint64(file, "pc", frame.address);
      if (frame.symbol) VRDFileWriteHashEntryHexEncodedString(file, "symbol", frame.symbol->c_str());
      VRDFileWriteHashEntryUint64(file, "offset", frame.offset);
      if (frame.library) VRDFileWriteHashEntryHexEncodedString(file, "library", frame.library->c_str());
      if (frame.fileName) VRDFileWriteHashEntryHexEncodedString(file, "file", frame.fileName->c_str());
      VRDFileWriteHashEntryUint64(file, "line", frame.lineNumber);
      VRDFileWriteHashEnd(file);
    }
    VRDFileWriteArrayEnd(file);
  }
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
}

void VRDExceptionRecord(std::uint32_t type, const char* name, const char* reason,
                        const std::vector<VRDStackFrame>& frames, bool deliver) {
  if (!VRDContextIsInitialized()) {
    // Not from a crash (which takes no lock): a forked child's custom exceptions are not recorded, said once.
    if (!VRDExceptionTypeIsFatal(type) && VRDContextIsForeignProcess()) sayNothingIsRecordedInForkedChild();
    return;
  }
  const bool fatal = VRDExceptionTypeIsFatal(type);
  VRDLogWarn("Recording an exception structure (%d, %d)\n", deliver ? 1 : 0, fatal ? 1 : 0);
  if (fatal) {
    recordFatal(type, name, reason, frames, deliver);
  } else {
    const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
    // Off in the settings: the storage's own limit would still let entries through.
    if (readOnly->exception.maxCustomExceptions > 0) {
      const std::int64_t time = static_cast<std::int64_t>(std::time(nullptr));
      VRDUserLoggingWriteAndCheckABFiles(&readOnly->logging.customExceptionStorage,
                                         &VRDContextWritable()->customExceptionStorageCurrent,
                                         [&](VRDFile* file) { VRDExceptionWriteLine(file, type, name, reason, time, frames); });
    }
  }
  VRDLogWarn("Finished recording an exception structure\n");
}

void VRDCatchAndRecordActiveException() noexcept {
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (type == nullptr) {
    VRDLogWarn("no active exception\n");
    return;
  }
  const char* rawName = type->name();
  if (!valid(rawName)) {
    VRDLogWarn("Error: invalid parameter\n");
    return;
  }
  VRDLogWarn("Recording exception of type '%s'\n", rawName);
  try {
    std::string name;
    std::string reason;
    try {
      throw;
    } catch (const char* text) {
      name = "const char *";
      if (valid(text)) reason = text;
    } catch (const std::string& text) {
      name = "std::string";
      reason = text;
    } catch (const std::exception& exception) {
      name = typeName(typeid(exception).name());
      reason = exception.what();
    } catch (const std::exception* exception) {
      // A thrown null pointer has no what() to call.
      name = typeName(rawName);
      if (valid(exception)) reason = exception->what();
    } catch (...) {
      name = typeName(rawName);
    }
    VRDExceptionRecord(VRDExceptionTypeCpp, name.c_str(), reason.c_str(), {}, true);
  } catch (...) {
    // Out of memory while naming it: the raw type name needs none.
    VRDLogWarn("Error: unable to name the exception\n");
    VRDExceptionRecord(VRDExceptionTypeCpp, rawName, "", {}, true);
  }
}

void VRDTerminateHandler() {
  VRDLogWarn("C++ terminate handler invoked\n");
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  const std::terminate_handler previous = readOnly ? readOnly->exception.previousTerminateHandler : nullptr;
  // Before the earlier handler is back: whoever ends through it or an abort from now on waits for this record.
  const VRDRecorderClaim claim = VRDContextClaimRecorder();
  std::terminate_handler chained = nullptr;
  if (previous == VRDTerminateHandler) {
    VRDLogWarn("Error: original handler was set recursively\n");
  } else if (previous != nullptr) {
    VRDLogWarn("restoring pre-existing handler\n");
    // Another thread that ended here first has put it back already; its record is being written.
    if (std::set_terminate(previous) == previous) {
      VRDLogWarn("handler has already been restored, aborting\n");
      VRDContextReleaseRecorder(claim);
      std::abort();
    }
    chained = previous;
  }
  VRDCatchAndRecordActiveException();
  VRDContextReleaseRecorder(claim);
  if (chained != nullptr) {
    VRDLogWarn("invoking pre-existing handler\n");
    chained();
  }
  VRDLogWarn("aborting\n");
  std::abort();
}

void VRDExceptionCheckHandlers() {
  if (VRDContextIsDebuggerAttached()) return;
  const std::terminate_handler current = std::get_terminate();
  if (current == VRDTerminateHandler) return;
  std::string symbol = "unknown";
  std::string image = "unknown";
  VRDDladdrInfo(reinterpret_cast<std::uint64_t>(current), [&](const char* foundSymbol, const char* foundImage) {
    if (foundSymbol != nullptr) symbol = foundSymbol;
    if (foundImage != nullptr) image = foundImage;
  });
  SystemLog::write("[Vuveradarad:Crash] Warning: std::get_terminate is '" + symbol + "' in '" + image + "'");
}

void VRDExceptionRaiseCppTestException() { throw "Vuveradarad C++ Test Exception"; }

}  // namespace crashreporting
