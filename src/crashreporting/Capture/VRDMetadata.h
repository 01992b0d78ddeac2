#pragma once

#include <cstdint>

#include "crashreporting/Capture/VRDContext.h"

namespace crashreporting {

inline constexpr const char* VRDGeneratorName = "Vuveradarad Mac SDK/3.8.6";
inline constexpr const char* VRDSDKBuildVersion = "124";
inline constexpr const char* VRDSDKDisplayVersion = "3.8.6";

/// Writes `metadata.vrdrecord` in the report directory afresh: the sections identity, host, application and
/// executable, in that order. `startedAt` is the set-up time in seconds since 1970. False when it cannot be
/// opened.
bool VRDContextRecordMetadata(const VRDContextInitData* initData, std::int64_t startedAt);

}  // namespace crashreporting
