#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crashreporting/Kit/VRDMachO.h"
#include "crashreporting/Reports/VRDMachOSlice.h"

// A Mach-O file on disk, thin or universal, mapped read-only for as long as the object lives: its slices in file
// order and an identifier of the whole file that does not depend on that order. Moving keeps the mapping (and
// so the slices) valid; copying is not possible.

namespace crashreporting {

class VRDMachOBinary {
 public:
  using UUIDBlock = std::function<void(const std::string& uuid, const std::string& architecture)>;

  /// None when the file cannot be mapped (missing, not a regular file, shorter than 16 bytes).
  static std::optional<VRDMachOBinary> MachOBinaryWithPath(const std::filesystem::path& path);

  const std::filesystem::path& path() const { return path_; }
  const std::vector<VRDMachOSlice>& slices() const { return slices_; }
  /// SHA-1 (40 lower-case hexadecimal digits) of the slices' UUIDs joined in architecture-name order, so the
  /// order of the slices in the file does not matter.
  const std::string& instanceIdentifier() const { return instanceIdentifier_; }
  /// Each slice's UUID and architecture name, in slice order.
  void enumerateUUIDs(const UUIDBlock& block) const;
  /// The first slice of that architecture; null when there is none.
  const VRDMachOSlice* sliceForArchitecture(std::string_view name) const;
  /// SHA-1 of the text's UTF-8 bytes as 40 lower-case hexadecimal digits.
  static std::string hashNSString(std::string_view text);

 private:
  VRDMachOBinary(std::filesystem::path path, VRDMachOFile file);

  std::filesystem::path path_;
  VRDMachOFile file_;
  std::vector<VRDMachOSlice> slices_;
  std::string instanceIdentifier_;
};

}  // namespace crashreporting
