#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "crashreporting/platform/Value.h"

// Small routines shared by the capture code. VRDUnlinkIfExists and VRDHostGetPageSize are async-signal-safe;
// the identifier, digest and symbol helpers are for set-up and the next launch only.

namespace crashreporting {

/// Removes `path`; a path that does not exist counts as removed. False (errno set) on any other failure.
bool VRDUnlinkIfExists(const char* path) noexcept;

/// The text of an errno value without translation or allocation (strerror may do both), for crash-time logs.
const char* VRDErrorText(int error) noexcept;

/// The page size (sysconf); 4096 when it cannot be read.
std::uint64_t VRDHostGetPageSize() noexcept;

/// Looks `address` up with dladdr: found → `step` gets the symbol name and image path ("unknown" for either
/// that is missing); not found → both null.
void VRDDladdrInfo(std::uint64_t address, const std::function<void(const char* symbol, const char* image)>& step);

/// A new random UUID in the platform's text form (upper-case, dashes).
std::string VRDGenerateUUID();
/// Without dashes, lower-case.
std::string VRDNormalizeUUID(const std::string& uuid);
/// 32 lower-case hex digits.
std::string VRDGenerateNormalizedUUID();

std::string VRDNSDataToHexString(const Data& data);
/// SHA-1 as 40 lower-case hex digits.
std::string VRDSHA1HexStringFromBytes(const void* bytes, std::size_t length);
std::string VRDSHA1HexStringFromData(const Data& data);

}  // namespace crashreporting
