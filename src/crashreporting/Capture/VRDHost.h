#pragma once

#include <cstdint>
#include <optional>

#include "crashreporting/Capture/VRDFile.h"

// Host and process facts of the crash capture: the host data placed in the context at set-up, the metadata's
// `host` section, and whether a debugger is attached.

namespace crashreporting {

/// Set-up job: page size and documents folder into the read-only context.
void VRDHostInitialize();
/// The metadata's `host` section; true.
bool VRDHostRecord(VRDFile* file);
/// The OS version as one number (ZIZHostGetOSVersionNumber).
std::int32_t VRDHostGetOSVersionNumber();

/// Whether a tracer is attached (TracerPid in /proc/self/status, read into a stack buffer).
bool VRDProcessDebuggerAttached() noexcept;
/// The caller's return address: a code address inside the function that called this one.
std::uintptr_t VRDProcessGetCurrentPC() noexcept;
/// Puts a fixed answer in place of the check (none: back to the real check). For tests and the crash driver.
void VRDProcessSetDebuggerAttachedOverride(std::optional<bool> attached) noexcept;

/// The locale identifier from LC_ALL, LC_MESSAGES or LANG without encoding and modifier ("de_DE"); the C and
/// POSIX locales are "en_US_POSIX".
std::string VRDHostLocaleIdentifier();

}  // namespace crashreporting
