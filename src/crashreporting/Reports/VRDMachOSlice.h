#pragma once

#include <string>
#include <vector>

#include "crashreporting/Kit/VRDMachO.h"

// One architecture slice of a Mach-O file on disk, as read from its load commands: UUID, linked libraries and
// the versions of its version-minimum command. Its slice record points into the mapping of the VRDMachOBinary
// that made it, and lives no longer than that binary.

namespace crashreporting {

class VRDMachOSlice {
 public:
  /// Walks the slice's load commands. A later version-minimum command overwrites an earlier one.
  explicit VRDMachOSlice(const VRDMachOSliceInfo& slice);

  const VRDMachOSliceInfo& slice() const { return slice_; }
  /// "x86_64", "arm64", … ; "unknown" for a CPU type the table lacks.
  std::string architectureName() const { return VRDMachOSliceGetArchitectureName(slice_); }
  /// 32 lower-case hexadecimal digits; empty when the slice has no LC_UUID.
  const std::string& uuid() const { return uuidString_; }
  /// The LC_LOAD_DYLIB paths, in command order.
  const std::vector<std::string>& linkedDylibs() const { return linkedDylibs_; }
  /// Zero until a version-minimum command gives them.
  const VRDMachOVersion& minimumOSVersion() const { return minimumOSVersion_; }
  const VRDMachOVersion& linkedSDKVersion() const { return linkedSDKVersion_; }

 private:
  VRDMachOSliceInfo slice_;
  std::string uuidString_;
  std::vector<std::string> linkedDylibs_;
  VRDMachOVersion minimumOSVersion_;
  VRDMachOVersion linkedSDKVersion_;
};

}  // namespace crashreporting
