#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "crashreporting/platform/HostFacts.h"

// Facts about the host program and the machine, shared by the kits. Program facts come from the main bundle
// (MainBundle), machine facts from HostFacts.

namespace crashreporting {

/// The main bundle's identifier with every "/" replaced by "_".
std::optional<std::string> ZIZApplicationGetBundleIdentifier();
/// The bundle identifier as the name of the application's own folders: ZIZApplicationGetBundleIdentifier, or
/// none when it is empty, "." or ".." (a name that would climb out of the folder it is put in).
std::optional<std::string> ZIZApplicationGetFolderName();
/// "CFBundleVersion".
std::optional<std::string> ZIZApplicationGetBuildVersion();
/// "CFBundleShortVersionString".
std::optional<std::string> ZIZApplicationGetDisplayVersion();
/// "CFBundleDisplayName", else "CFBundleName", else the build version.
std::optional<std::string> ZIZApplicationGetName();
/// False below OS version number 1070; else whether the bundle holds a store receipt
/// (Contents/_MASReceipt/receipt).
bool ZIZApplicationHasAppStoreReceipt();
/// "VuveradaradSignedForDistribution" as a Boolean; false when absent.
bool ZIZApplicationIsSignedForDistribution();
/// 4 with a store receipt, else 3 when signed for distribution, else 1.
int ZIZApplicationGetInstallSource();
/// "Zizozu" → "ReportIdentifiers" when present, else "VuveradaradCollectDeviceIdentifiers" when present;
/// true when both are absent.
bool ZIZShouldCollectDeviceIdentifiers();

OSVersion ZIZHostGetOSVersion();
/// The OS version as one number, from the minor version (6 → 1060 … 13 → 101300); 0 outside that table.
std::int32_t ZIZHostGetOSVersionNumber();
/// "major.minor.patch".
std::string ZIZHostGetOSDisplayVersion();
std::optional<std::string> ZIZHostGetSysctlString(std::string_view name);
std::optional<std::string> ZIZHostGetOSBuildVersion();
std::optional<std::string> ZIZHostGetModel();

/// A new random UUID as text: upper-case, with dashes.
std::string ZIZCreateUUIDString();

}  // namespace crashreporting
