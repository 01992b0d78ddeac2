#include <vector>

#include "crashreporting/Kit/VRDMachO.h"
#include "crashreporting/Kit/VRDMachOBytes.h"

namespace crashreporting {
namespace {

using macho::read32;
using macho::readBig32;

constexpr std::uint64_t kFatHeaderSize = 8;
constexpr std::uint64_t kFatEntrySize = 20;

bool isMachOMagic(std::uint32_t magic) {
  return magic == VRDMachOMagic32 || magic == VRDMachOCigam32 || magic == VRDMachOMagic64 ||
         magic == VRDMachOCigam64;
}

struct ArchName {
  std::int32_t cputype;
  std::int32_t cpusubtype;
  const char* name;
};

// The architectures a Mach-O file names, by CPU type and subtype (capability bits masked off).
constexpr ArchName kArchitectures[] = {
    {7, 3, "i386"},
    {7, 4, "i486"},
    {7, 8, "pentium"},
    {0x01000007, 3, "x86_64"},
    {0x01000007, 8, "x86_64h"},
    {18, 0, "ppc"},
    {18, 100, "ppc970"},
    {0x01000012, 0, "ppc64"},
    {12, 0, "arm"},
    {12, 5, "armv4t"},
    {12, 6, "armv6"},
    {12, 7, "armv5"},
    {12, 9, "armv7"},
    {12, 10, "armv7f"},
    {12, 14, "armv6m"},
    {12, 15, "armv7m"},
    {12, 16, "armv7em"},
    {0x0100000c, 1, "arm64v8"},
    {0x0100000c, 2, "arm64e"},
    {0x0100000c, 0, "arm64"},
    {0x0200000c, 1, "arm64_32"},
};
constexpr std::uint32_t kSubtypeCapabilities = 0xff000000;

}  // namespace

void VRDMachOEnumerateSlicesAtAddress(const std::uint8_t* address, std::uint64_t size,
                                      const VRDMachOSliceBlock& block) {
  if (!address || !block || size < 4) return;
  const std::uint32_t magic = read32(address);
  if (magic == VRDMachOFatMagic || magic == VRDMachOFatCigam) {
    if (size < kFatHeaderSize) return;
    const std::uint64_t count = readBig32(address + 4);
    if (count > (size - kFatHeaderSize) / kFatEntrySize) return;  // the table runs past the end
    std::vector<VRDMachOSliceInfo> slices;
    for (std::uint64_t i = 0; i < count; ++i) {
      const std::uint8_t* entry = address + kFatHeaderSize + i * kFatEntrySize;
      const std::uint64_t offset = readBig32(entry + 8);
      const std::uint64_t length = readBig32(entry + 12);
      if (offset > size || length > size - offset) return;  // a slice runs past the end: the file is refused
      slices.push_back({address + offset, static_cast<std::int32_t>(readBig32(entry)),
                        static_cast<std::int32_t>(readBig32(entry + 4)), length});
    }
    for (const auto& slice : slices) block(slice);
    return;
  }
  VRDMachOSliceInfo slice{address, 0, 0, size};
  if (isMachOMagic(magic) && size >= 12) {
    slice.cputype = static_cast<std::int32_t>(read32(address + 4));
    slice.cpusubtype = static_cast<std::int32_t>(read32(address + 8));
  }
  block(slice);
}

const char* VRDMachOSliceGetArchitectureName(const VRDMachOSliceInfo& slice) {
  if (slice.cputype == 0x0100000c && slice.cpusubtype == 0) return "arm64";
  if (slice.cputype == 12 && slice.cpusubtype == 11) return "armv7s";
  if (slice.cputype == 12 && slice.cpusubtype == 12) return "armv7k";
  const auto subtype =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(slice.cpusubtype) & ~kSubtypeCapabilities);
  for (const auto& arch : kArchitectures) {
    if (arch.cputype == slice.cputype && arch.cpusubtype == subtype) return arch.name;
  }
  return "unknown";
}

}  // namespace crashreporting
