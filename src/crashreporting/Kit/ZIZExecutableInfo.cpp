#include "crashreporting/Kit/ZIZExecutableInfo.h"

#include <cstring>

#include "crashreporting/Kit/VRDImageUUID.h"
#include "crashreporting/Kit/VRDMachOBytes.h"

namespace crashreporting {
namespace {

constexpr std::uint32_t kPTNote = 4;

bool isMachO(const std::uint8_t* bytes) {
  const std::uint32_t magic = macho::read32(bytes);
  for (const std::uint32_t known : {VRDMachOMagic32, VRDMachOCigam32, VRDMachOMagic64, VRDMachOCigam64,
                                    VRDMachOFatMagic, VRDMachOFatCigam})
    if (magic == known) return true;
  return false;
}

const char* elfArchitectureName(std::uint16_t machine) {
  switch (machine) {
    case 3:
      return "i386";
    case 40:
      return "armv7";
    case 62:
      return "x86_64";
    case 183:
      return "arm64";
    default:
      return "unknown";
  }
}

std::uint16_t read16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

/// Whether [offset, offset + length) lies within `size` bytes.
bool within(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
  return offset <= size && length <= size - offset;
}

std::optional<ZIZExecutableInfo> readELF(const std::uint8_t* bytes, std::uint64_t size) {
  if (size < 52 || std::memcmp(bytes, "\x7f" "ELF", 4) != 0 || bytes[5] != 1) return std::nullopt;  // little-endian
  const bool is64 = bytes[4] == 2;
  if (is64 && size < 64) return std::nullopt;
  const std::uint64_t phoff = is64 ? macho::read64(bytes + 32) : macho::read32(bytes + 28);
  const std::uint64_t phentsize = read16(bytes + (is64 ? 54 : 42));
  const std::uint64_t phnum = read16(bytes + (is64 ? 56 : 44));
  if (phentsize < (is64 ? 56u : 32u) || !within(phoff, phentsize * phnum, size)) return std::nullopt;
  ZIZExecutableInfo info;
  char uuid[VRDImageUUIDCapacity] = {};
  for (std::uint64_t i = 0; i < phnum && uuid[0] == '\0'; ++i) {
    const std::uint8_t* header = bytes + phoff + i * phentsize;
    if (macho::read32(header) != kPTNote) continue;
    const std::uint64_t offset = is64 ? macho::read64(header + 8) : macho::read32(header + 4);
    const std::uint64_t length = is64 ? macho::read64(header + 32) : macho::read32(header + 16);
    if (within(offset, length, size)) VRDImageUUIDFromNotes(bytes + offset, length, uuid);
  }
  if (uuid[0] != '\0') info.architectureUUIDMap[elfArchitectureName(read16(bytes + 18))] = uuid;
  return info;
}

ZIZExecutableInfo readMachO(const VRDMachOFile& file) {
  ZIZExecutableInfo info;
  VRDMachOFileEnumerateSlices(&file, [&](const VRDMachOSliceInfo& found) {
    VRDMachOSliceInfo slice = found;
    std::string uuid;
    VRDMachOSliceEnumerateLoadCommands(&slice, [&](std::uint32_t cmd, std::uint32_t, const std::uint8_t* command) {
      if (cmd == VRDMachOLCUUID) {
        if (const std::uint8_t* bytes = VRDMachOGetUUID(command)) uuid = VRDMachOFormatUUID(bytes);
      } else if (cmd == VRDMachOLCVersionMinMacOSX || cmd == VRDMachOLCVersionMinIPhoneOS) {
        info.minimumSDK = VRDMachOGetMinimumOSVersion(command);
        info.builtSDK = VRDMachOGetLinkedSDKVersion(command);
      }
    });
    if (!uuid.empty()) info.architectureUUIDMap[VRDMachOSliceGetArchitectureName(slice)] = uuid;
  });
  return info;
}

}  // namespace

std::optional<ZIZExecutableInfo> ZIZReadExecutableInfo(const std::filesystem::path& executable) {
  VRDMachOFile file;
  if (!VRDMachOFileInitWithPath(&file, executable.c_str())) return std::nullopt;
  const auto size = static_cast<std::uint64_t>(file.mappedSize);
  if (isMachO(file.mappedFile)) return readMachO(file);
  return readELF(file.mappedFile, size);
}

}  // namespace crashreporting
