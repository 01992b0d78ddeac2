#pragma once

#include <cstdint>

// The crash capture's own log, "sdk.log" in the report directory. Safe inside a signal handler: no heap, no
// locks, no standard I/O; lines are formatted by VRDFormat into a stack buffer and written with write(2).

namespace crashreporting {

enum VRDLogLevel : std::int32_t {
  VRDLogLevelDebug = 1,
  VRDLogLevelInfo = 2,
  VRDLogLevelWarn = 3,
  VRDLogLevelError = 4,
};

/// Writes one message when the crash context exists and `level` is at least its minimum level. The log file is
/// opened (create, append, 0644) on first use and its descriptor kept in the writable context.
void VRDSDKLog(std::int32_t level, const char* format, ...) noexcept __attribute__((format(printf, 2, 3)));
/// Whether a message at `level` would be written now (the context exists and its minimum level allows it).
bool VRDSDKLogWants(std::int32_t level) noexcept;

}  // namespace crashreporting

// Each message starts with its level word padded to six characters and "[function:line] ".
#define VRDLogDebug(format, ...) \
  ::crashreporting::VRDSDKLog(1, "DEBUG [%s:%d] " format, __func__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define VRDLogInfo(format, ...) \
  ::crashreporting::VRDSDKLog(2, "INFO  [%s:%d] " format, __func__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define VRDLogWarn(format, ...) \
  ::crashreporting::VRDSDKLog(3, "WARN  [%s:%d] " format, __func__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define VRDLogError(format, ...) \
  ::crashreporting::VRDSDKLog(4, "ERROR [%s:%d] " format, __func__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
