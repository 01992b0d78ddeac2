#include "crashreporting/Reports/VRDMachOBinary.h"

#include <algorithm>

#include "crashreporting/platform/Sha1.h"

namespace crashreporting {

std::optional<VRDMachOBinary> VRDMachOBinary::MachOBinaryWithPath(const std::filesystem::path& path) {
  VRDMachOFile file;
  if (!VRDMachOFileInitWithPath(&file, path.c_str())) return std::nullopt;
  return VRDMachOBinary(path, std::move(file));
}

VRDMachOBinary::VRDMachOBinary(std::filesystem::path path, VRDMachOFile file)
    : path_(std::move(path)), file_(std::move(file)) {
  VRDMachOFileEnumerateSlices(&file_, [this](const VRDMachOSliceInfo& slice) { slices_.emplace_back(slice); });
  std::vector<std::pair<std::string, std::string>> named;
  for (const VRDMachOSlice& slice : slices_) named.emplace_back(slice.architectureName(), slice.uuid());
  // By UUID too among equal names, so even a file naming one architecture twice gets one identifier.
  std::sort(named.begin(), named.end());
  std::string joined;
  for (const auto& [architecture, uuid] : named) joined += uuid;
  instanceIdentifier_ = hashNSString(joined);
}

void VRDMachOBinary::enumerateUUIDs(const UUIDBlock& block) const {
  for (const VRDMachOSlice& slice : slices_) block(slice.uuid(), slice.architectureName());
}

const VRDMachOSlice* VRDMachOBinary::sliceForArchitecture(std::string_view name) const {
  const auto found = std::find_if(slices_.begin(), slices_.end(),
                                  [&](const VRDMachOSlice& slice) { return slice.architectureName() == name; });
  return found == slices_.end() ? nullptr : &*found;
}

std::string VRDMachOBinary::hashNSString(std::string_view text) { return sha1Hex(text); }

}  // namespace crashreporting
