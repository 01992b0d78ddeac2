#include <cstdio>
#include <cstring>
#include <vector>

#include "crashreporting/Kit/VRDImageUUID.h"
#include "crashreporting/Kit/VRDMachO.h"
#include "crashreporting/Kit/VRDMachOBytes.h"

namespace crashreporting {
namespace {

using macho::read32;
using macho::read64;

constexpr std::uint64_t kHeader32Size = 28;
constexpr std::uint64_t kHeader64Size = 32;
constexpr std::uint32_t kSegment32Size = 56;
constexpr std::uint32_t kSegment64Size = 72;
constexpr std::uint32_t kSection32Size = 68;
constexpr std::uint32_t kSection64Size = 80;

struct Command {
  std::uint32_t cmd;
  std::uint32_t cmdsize;
  const std::uint8_t* at;
};

/// The slice's load commands, each checked to lie within the header's command area and the slice; none when
/// any does not.
std::vector<Command> loadCommands(VRDMachOSliceInfo& slice) {
  if (!slice.startAddress || slice.size < 4) return {};
  const std::uint32_t magic = read32(slice.startAddress);
  std::uint64_t headerSize = 0;
  if (magic == VRDMachOMagic32 || magic == VRDMachOCigam32) headerSize = kHeader32Size;
  if (magic == VRDMachOMagic64 || magic == VRDMachOCigam64) headerSize = kHeader64Size;
  if (headerSize == 0 || slice.size < headerSize) return {};
  const std::uint8_t* header = slice.startAddress;
  slice.cputype = static_cast<std::int32_t>(read32(header + 4));
  slice.cpusubtype = static_cast<std::int32_t>(read32(header + 8));
  const std::uint32_t count = read32(header + 16);
  const std::uint64_t end = headerSize + read32(header + 20);  // header + sizeofcmds
  if (end > slice.size) return {};
  std::vector<Command> commands;
  std::uint64_t offset = headerSize;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (end - offset < 8) return {};
    const std::uint32_t cmd = read32(header + offset);
    const std::uint32_t cmdsize = read32(header + offset + 4);
    if (cmdsize < 8 || cmdsize > end - offset) return {};
    commands.push_back({cmd, cmdsize, header + offset});
    offset += cmdsize;
  }
  return commands;
}

std::uint32_t commandSize(const std::uint8_t* command) { return read32(command + 4); }

bool nameIs(const std::uint8_t* field, const char* name) {
  return std::strncmp(reinterpret_cast<const char*>(field), name, 16) == 0;
}

VRDMachOVersion versionFrom(std::uint32_t word) { return {word >> 16, (word >> 8) & 0xFF, word & 0xFF}; }

}  // namespace

void VRDMachOSliceEnumerateLoadCommands(VRDMachOSliceInfo* slice, const VRDMachOLoadCommandBlock& block) {
  if (!slice || !block || !slice->startAddress) return;
  for (const Command& c : loadCommands(*slice)) block(c.cmd, c.cmdsize, c.at);
}

VRDMachOSliceInfo VRDMachOSliceWithHeader(const std::uint8_t* header, std::uint64_t size) {
  return {header, 0, 0, size};
}

bool VRDMachOSliceIs64Bit(const VRDMachOSliceInfo& slice) { return (slice.cputype & VRDMachOCPUArch64) != 0; }

bool VRDMachOSliceGetSection(const VRDMachOSliceInfo* slice, const char* segmentName, const char* sectionName,
                             VRDMachOSection* out) {
  if (!slice || !out || !slice->startAddress || !segmentName || !sectionName) return false;
  *out = {};
  const bool wide = VRDMachOSliceIs64Bit(*slice);
  const std::uint32_t segmentCommand = wide ? VRDMachOLCSegment64 : VRDMachOLCSegment;
  const std::uint32_t segmentSize = wide ? kSegment64Size : kSegment32Size;
  const std::uint32_t sectionSize = wide ? kSection64Size : kSection32Size;
  VRDMachOSliceInfo walked = *slice;
  for (const Command& c : loadCommands(walked)) {
    if (c.cmd != segmentCommand || c.cmdsize < segmentSize || !nameIs(c.at + 8, segmentName)) continue;
    const std::uint32_t sections = read32(c.at + (wide ? 64 : 48));
    if (sections > (c.cmdsize - segmentSize) / sectionSize) continue;  // its section table runs past the command
    for (std::uint32_t i = 0; i < sections; ++i) {
      const std::uint8_t* section = c.at + segmentSize + i * sectionSize;
      if (!nameIs(section, sectionName) || !nameIs(section + 16, segmentName)) continue;
      if (wide) {
        *out = {read64(section + 32), read64(section + 40), read32(section + 48)};
      } else {
        *out = {read32(section + 32), read32(section + 36), read32(section + 40)};
      }
      return true;
    }
  }
  return false;
}

bool VRDMachOSliceGetSectionAddress(const VRDMachOSliceInfo* slice, const char* segmentName,
                                    const char* sectionName, const std::uint8_t** out) {
  if (!out) return false;
  *out = nullptr;
  VRDMachOSection section;
  if (!VRDMachOSliceGetSection(slice, segmentName, sectionName, &section)) return false;
  if (section.offset > slice->size || section.size > slice->size - section.offset) return false;
  *out = slice->startAddress + section.offset;
  return true;
}

const std::uint8_t* VRDMachOGetUUID(const std::uint8_t* uuidCommand) {
  if (!uuidCommand || commandSize(uuidCommand) < 24) return nullptr;
  return uuidCommand + 8;
}

const char* VRDMachOGetDylibPath(const std::uint8_t* dylibCommand) {
  if (!dylibCommand || commandSize(dylibCommand) < 12) return nullptr;
  const std::uint32_t size = commandSize(dylibCommand);
  const std::uint32_t offset = read32(dylibCommand + 8);
  if (offset >= size || !std::memchr(dylibCommand + offset, 0, size - offset)) return nullptr;  // must end inside
  return reinterpret_cast<const char*>(dylibCommand + offset);
}

bool VRDMachOIsEncrypted(const std::uint8_t* encryptionInfoCommand) {
  if (!encryptionInfoCommand || commandSize(encryptionInfoCommand) < 20) return false;
  return read32(encryptionInfoCommand + 16) != 0;
}

VRDMachOVersion VRDMachOGetMinimumOSVersion(const std::uint8_t* versionMinCommand) {
  if (!versionMinCommand || commandSize(versionMinCommand) < 16) return {};
  return versionFrom(read32(versionMinCommand + 8));
}

VRDMachOVersion VRDMachOGetLinkedSDKVersion(const std::uint8_t* versionMinCommand) {
  if (!versionMinCommand || commandSize(versionMinCommand) < 16) return {};
  return versionFrom(read32(versionMinCommand + 12));
}

VRDMachOSegment VRDMachOGetSegmentInfo(const std::uint8_t* command) {
  VRDMachOSegment segment;
  if (!command) return segment;
  const std::uint32_t cmd = read32(command);
  const std::uint32_t size = commandSize(command);
  if (cmd == VRDMachOLCSegment64 && size >= kSegment64Size) {
    std::memcpy(segment.name, command + 8, sizeof segment.name);
    segment.address = read64(command + 24);
    segment.size = read64(command + 32);
  } else if (cmd == VRDMachOLCSegment && size >= kSegment32Size) {
    std::memcpy(segment.name, command + 8, sizeof segment.name);
    segment.address = read32(command + 24);
    segment.size = read32(command + 28);
  }
  return segment;
}

std::string VRDMachOFormatUUID(const std::uint8_t* uuid) {
  if (!uuid) return {};
  char text[VRDImageUUIDCapacity];
  VRDImageUUIDFormat(uuid, VRDImageUUIDBytes, text);
  return text;
}

std::optional<std::string> VRDMachOFormatVersion(const VRDMachOVersion* version) {
  if (!version) return std::nullopt;
  return std::to_string(version->major) + "." + std::to_string(version->minor) + "." +
         std::to_string(version->bugfix);
}

}  // namespace crashreporting
