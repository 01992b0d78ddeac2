#pragma once

#include <cstdint>
#include <vector>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDFile.h"
#include "crashreporting/Capture/VRDStackFrame.h"

// Uncaught C++ exceptions and custom exceptions. A terminate handler, installed at set-up in front of the one it
// finds, names the exception that is ending the process and writes it to `exception.vrdrecord` followed by the
// crash lines of VRDHandler, on the throwing thread; then it hands over to the earlier handler and aborts (the
// abort is recorded by the signal path as well). Custom exceptions (not fatal) go to the custom-exception A/B
// files. This path may use the heap (it runs from the exception machinery, where the heap still works); the
// crash lines it appends do not.

namespace crashreporting {

enum VRDExceptionType : std::uint32_t {
  VRDExceptionTypeObjectiveC = 1,
  VRDExceptionTypeCpp = 2,
  VRDExceptionTypeJavaScript = 3,
  VRDExceptionTypeCustom = 4,
};

/// Told, on the recording thread, that a fatal exception has been recorded.
class VRDSubmittableCrashDelegate {
 public:
  virtual void potentiallySubmittableCrashOccurred() noexcept = 0;

 protected:
  ~VRDSubmittableCrashDelegate() = default;
};

/// "objective-c", "c++", "javascript", "custom"; "unknown" for any other value.
const char* VRDExceptionTypeName(std::uint32_t type) noexcept;
/// Types 1 and 2 end the process.
bool VRDExceptionTypeIsFatal(std::uint32_t type) noexcept;

/// Set-up: removes the old record, installs VRDTerminateHandler and keeps the handler it replaces, and zeroes
/// the custom-exception counter.
void VRDExceptionInitialize(VRDExceptionContext* context, std::uint32_t* customExceptionCounter);
/// Puts back the handler VRDExceptionInitialize replaced, when ours is still installed (tests).
void VRDExceptionRestoreTerminateHandler(const VRDExceptionContext* context) noexcept;

/// Records one exception. Fatal types: the `exception` line, then the whole process as the calling thread sees
/// it, into `exception.vrdrecord`, under the recorder claim (VRDContextClaimRecorder; when another thread still
/// holds it after the wait, the exception line alone); with `deliver` set the submittable-crash delegate is told. Other types: the `exception` line into the
/// current custom-exception file, nothing when custom exceptions are off or the storage allows no entry.
/// Nothing before set-up.
void VRDExceptionRecord(std::uint32_t type, const char* name, const char* reason,
                        const std::vector<VRDStackFrame>& frames, bool deliver);
/// The `exception` line; `frames` only when there are any, each text of a frame only when known.
void VRDExceptionWriteLine(VRDFile* file, std::uint32_t type, const char* name, const char* reason,
                           std::int64_t time, const std::vector<VRDStackFrame>& frames) noexcept;

/// Names the exception being handled on this thread and records it as a fatal C++ exception: a C string as
/// "const char *", a std::string as "std::string", a std::exception (or a pointer to one) by its demangled type
/// and what(), anything else by its demangled type with an empty reason. Call it from a handler or a
/// terminate handler; with no exception being handled it logs and records nothing.
void VRDCatchAndRecordActiveException() noexcept;

/// The installed terminate handler: takes the recorder claim before it puts the earlier handler back (so it runs
/// once), so a second thread that ends meanwhile (through the earlier handler or an abort) waits for this record;
/// records the exception, lets go of the claim, then calls the earlier handler, and aborts should that return.
[[noreturn]] void VRDTerminateHandler();

/// Start-up check: with no debugger attached, a terminate handler that is not ours is named in the system log
/// ("[Vuveradarad:Crash] Warning: std::get_terminate is '<symbol>' in '<image>'").
void VRDExceptionCheckHandlers();

/// Throws the library's C++ test exception, the C string "Vuveradarad C++ Test Exception".
[[noreturn]] void VRDExceptionRaiseCppTestException();

}  // namespace crashreporting
