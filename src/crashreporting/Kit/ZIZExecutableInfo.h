#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "crashreporting/Kit/VRDMachO.h"

namespace crashreporting {

/// What identifies an executable file: the UUID of each architecture slice (32 lower-case hexadecimal
/// characters) and the SDK versions of its version-minimum command. A Mach-O file (thin or universal) is read
/// with the Mach-O readers; an ELF file, what Linux runs, is one slice named after its machine ("x86_64",
/// "i386", "arm64", …) whose UUID is its GNU build-id in the same form (VRDImageUUID.h), and carries no versions.
struct ZIZExecutableInfo {
  std::map<std::string, std::string> architectureUUIDMap;
  VRDMachOVersion minimumSDK;
  VRDMachOVersion builtSDK;
};

/// The running executable's file.
inline const std::filesystem::path kZIZCurrentExecutablePath = "/proc/self/exe";

/// None when the file cannot be mapped or is neither Mach-O nor ELF.
std::optional<ZIZExecutableInfo> ZIZReadExecutableInfo(const std::filesystem::path& executable);

}  // namespace crashreporting
