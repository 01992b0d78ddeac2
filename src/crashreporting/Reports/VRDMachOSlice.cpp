#include "crashreporting/Reports/VRDMachOSlice.h"

namespace crashreporting {

VRDMachOSlice::VRDMachOSlice(const VRDMachOSliceInfo& slice) : slice_(slice) {
  VRDMachOSliceEnumerateLoadCommands(&slice_, [this](std::uint32_t cmd, std::uint32_t, const std::uint8_t* command) {
    switch (cmd) {
      case VRDMachOLCVersionMinMacOSX:
      case VRDMachOLCVersionMinIPhoneOS:
      case VRDMachOLCVersionMinTVOS:
      case VRDMachOLCVersionMinWatchOS:
        minimumOSVersion_ = VRDMachOGetMinimumOSVersion(command);
        linkedSDKVersion_ = VRDMachOGetLinkedSDKVersion(command);
        break;
      case VRDMachOLCLoadDylib:
        if (const char* path = VRDMachOGetDylibPath(command)) linkedDylibs_.emplace_back(path);
        break;
      case VRDMachOLCUUID:
        if (const std::uint8_t* bytes = VRDMachOGetUUID(command)) uuidString_ = VRDMachOFormatUUID(bytes);
        break;
      default:
        break;
    }
  });
}

}  // namespace crashreporting
