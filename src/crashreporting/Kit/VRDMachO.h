#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// Readers of Mach-O files: map a file, walk the slices of a universal file, name an architecture, walk a
// slice's load commands, find sections, read UUID, version, dylib and encryption commands. They never write and
// never read past what they were given: a file whose slices or load commands run past its end yields none.

namespace crashreporting {

inline constexpr std::uint32_t VRDMachOMagic32 = 0xfeedface;
inline constexpr std::uint32_t VRDMachOCigam32 = 0xcefaedfe;
inline constexpr std::uint32_t VRDMachOMagic64 = 0xfeedfacf;
inline constexpr std::uint32_t VRDMachOCigam64 = 0xcffaedfe;
inline constexpr std::uint32_t VRDMachOFatMagic = 0xcafebabe;
inline constexpr std::uint32_t VRDMachOFatCigam = 0xbebafeca;
inline constexpr std::int32_t VRDMachOCPUArch64 = 0x01000000;
inline constexpr std::uint32_t VRDMachOLCSegment = 1;
inline constexpr std::uint32_t VRDMachOLCSegment64 = 25;
inline constexpr std::uint32_t VRDMachOLCUUID = 27;
inline constexpr std::uint32_t VRDMachOLCVersionMinMacOSX = 36;
inline constexpr std::uint32_t VRDMachOLCVersionMinIPhoneOS = 37;
inline constexpr std::uint32_t VRDMachOLCVersionMinTVOS = 0x2F;
inline constexpr std::uint32_t VRDMachOLCVersionMinWatchOS = 0x30;
inline constexpr std::uint32_t VRDMachOLCLoadDylib = 0x0C;

/// A file mapped read-only. Not open: descriptor -1, nothing mapped. Closed when it goes.
struct VRDMachOFile {
  std::int32_t fd = -1;
  std::int64_t mappedSize = 0;
  const std::uint8_t* mappedFile = nullptr;

  VRDMachOFile() = default;
  ~VRDMachOFile();
  VRDMachOFile(VRDMachOFile&& other) noexcept;
  VRDMachOFile& operator=(VRDMachOFile&& other) noexcept;
  VRDMachOFile(const VRDMachOFile&) = delete;
  VRDMachOFile& operator=(const VRDMachOFile&) = delete;
};

/// One architecture slice: where its header starts, and how many bytes from there belong to it (0: unknown,
/// which no reader walks).
struct VRDMachOSliceInfo {
  const std::uint8_t* startAddress = nullptr;
  std::int32_t cputype = 0;
  std::int32_t cpusubtype = 0;
  std::uint64_t size = 0;
};

struct VRDMachOVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t bugfix = 0;
  bool operator==(const VRDMachOVersion&) const = default;
};

struct VRDMachOSection {
  std::uint64_t addr = 0;
  std::uint64_t size = 0;
  std::uint32_t offset = 0;  // in the slice
};

struct VRDMachOSegment {
  char name[16] = {};
  std::uint64_t address = 0;
  std::uint64_t size = 0;
};

using VRDMachOSliceBlock = std::function<void(const VRDMachOSliceInfo& slice)>;
using VRDMachOLoadCommandBlock =
    std::function<void(std::uint32_t cmd, std::uint32_t cmdsize, const std::uint8_t* command)>;

/// Maps a regular file of at least 16 bytes; false (with nothing left open) otherwise.
bool VRDMachOFileInitWithPath(VRDMachOFile* file, const char* path);
void VRDMachOFileDestroy(VRDMachOFile* file);

void VRDMachOFileEnumerateSlices(const VRDMachOFile* file, const VRDMachOSliceBlock& block);
/// The slices of the `size` bytes at `address`: each entry of a universal file (none at all when its table or
/// any slice runs past the end), else the one thin slice.
void VRDMachOEnumerateSlicesAtAddress(const std::uint8_t* address, std::uint64_t size,
                                      const VRDMachOSliceBlock& block);
/// The last slice of that architecture name; an all-zero slice when there is none.
VRDMachOSliceInfo VRDMachOFileSliceForArchitectureName(const VRDMachOFile* file, const char* name);
/// "x86_64", "arm64", "armv7s", … ; "unknown" for a type the table lacks.
const char* VRDMachOSliceGetArchitectureName(const VRDMachOSliceInfo& slice);

/// Calls `block` for each load command, after storing the header's CPU type and subtype in the slice. A
/// header whose commands run past the slice (or that has a command shorter than 8 bytes) gives no commands.
void VRDMachOSliceEnumerateLoadCommands(VRDMachOSliceInfo* slice, const VRDMachOLoadCommandBlock& block);
/// A slice of the `size` bytes at `header`; CPU type and subtype zero until its commands are walked.
VRDMachOSliceInfo VRDMachOSliceWithHeader(const std::uint8_t* header, std::uint64_t size);
bool VRDMachOSliceIs64Bit(const VRDMachOSliceInfo& slice);
/// The section `sectionName` of segment `segmentName` (64-bit lookup for a 64-bit slice).
bool VRDMachOSliceGetSection(const VRDMachOSliceInfo* slice, const char* segmentName, const char* sectionName,
                             VRDMachOSection* out);
/// Where the section's bytes lie in the slice; false when they lie outside it.
bool VRDMachOSliceGetSectionAddress(const VRDMachOSliceInfo* slice, const char* segmentName,
                                    const char* sectionName, const std::uint8_t** out);

// Readers of single commands, as given by VRDMachOSliceEnumerateLoadCommands. A command too short for what is
// asked gives null, false or zero.
const std::uint8_t* VRDMachOGetUUID(const std::uint8_t* uuidCommand);
const char* VRDMachOGetDylibPath(const std::uint8_t* dylibCommand);
bool VRDMachOIsEncrypted(const std::uint8_t* encryptionInfoCommand);
VRDMachOVersion VRDMachOGetMinimumOSVersion(const std::uint8_t* versionMinCommand);
VRDMachOVersion VRDMachOGetLinkedSDKVersion(const std::uint8_t* versionMinCommand);
VRDMachOSegment VRDMachOGetSegmentInfo(const std::uint8_t* command);

/// The 16 bytes as 32 lower-case hexadecimal characters.
std::string VRDMachOFormatUUID(const std::uint8_t* uuid);
/// "major.minor.bugfix"; none for null.
std::optional<std::string> VRDMachOFormatVersion(const VRDMachOVersion* version);

}  // namespace crashreporting
