#include "crashreporting/Kit/VRDMachO.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>

#include "crashreporting/support/LibraryTest.h"
#include "crashreporting/support/MachOWriter.h"
#include "crashreporting/support/TestSeed.h"

namespace crashreporting {
namespace {

using test::Bytes;
using Writer = test::MachOWriter;

constexpr std::uint32_t kLoadDylib = 0xc;
constexpr std::uint32_t kEncryptionInfo = 0x21;

/// A 64-bit x86-64 executable: __TEXT with __text and __unwind_info, LC_UUID 00 11 … ff, LC_VERSION_MIN_MACOSX
/// 10.13.2 (SDK 10.14.0), one dylib and an encryption command with crypt id 1.
Bytes thin64() {
  Writer cmds;
  // LC_SEGMENT_64 __TEXT with two sections.
  cmds.u32(25)
      .u32(72 + 2 * 80)
      .name("__TEXT")
      .u64(0x100000000)
      .u64(0x2000)
      .u64(0)
      .u64(0x2000)
      .u32(7)
      .u32(5)
      .u32(2)
      .u32(0);
  cmds.name("__text")
      .name("__TEXT")
      .u64(0x100000f00)
      .u64(0x40)
      .u32(0xf00)
      .u32(4)
      .u32(0)
      .u32(0)
      .u32(0)
      .u32(0)
      .u32(0)
      .u32(0);
  cmds.name("__unwind_info")
      .name("__TEXT")
      .u64(0x100000f40)
      .u64(0x20)
      .u32(0xf40)
      .u32(2)
      .u32(0)
      .u32(0)
      .u32(0)
      .u32(0)
      .u32(0)
      .u32(0);
  // LC_UUID
  cmds.u32(27).u32(24);
  for (int i = 0; i < 16; ++i) cmds.bytes.push_back(static_cast<std::uint8_t>(i * 0x11));
  // LC_VERSION_MIN_MACOSX
  cmds.u32(36).u32(16).u32((10u << 16) | (13u << 8) | 2u).u32((10u << 16) | (14u << 8));
  // LC_LOAD_DYLIB "/usr/lib/libSystem.B.dylib", padded to 8 bytes
  const std::string path = "/usr/lib/libSystem.B.dylib";
  cmds.u32(kLoadDylib).u32(56).u32(24).u32(2).u32(0x10000).u32(0x10000);
  cmds.bytes.insert(cmds.bytes.end(), path.begin(), path.end());
  cmds.bytes.resize(cmds.bytes.size() + (56 - 24 - path.size()), 0);
  // LC_ENCRYPTION_INFO
  cmds.u32(kEncryptionInfo).u32(20).u32(0x1000).u32(0x1000).u32(1);
  Writer file;
  file.u32(0xfeedfacf)
      .u32(0x01000007)
      .u32(3)
      .u32(2)
      .u32(5)
      .u32(static_cast<std::uint32_t>(cmds.bytes.size()))
      .u32(0)
      .u32(0);
  file.raw(cmds.bytes);
  file.bytes.resize(0x2000, 0xCC);
  return file.bytes;
}

/// A 32-bit i386 file with one LC_SEGMENT holding __TEXT,__text.
Bytes thin32() {
  Writer file;
  file.u32(0xfeedface).u32(7).u32(3).u32(2).u32(1).u32(56 + 68).u32(0);
  file.u32(1).u32(56 + 68).name("__TEXT").u32(0x1000).u32(0x1000).u32(0).u32(0x1000).u32(7).u32(5).u32(1).u32(0);
  file.name("__text").name("__TEXT").u32(0x1f00).u32(0x10).u32(0xf00).u32(4).u32(0).u32(0).u32(0).u32(0).u32(0);
  file.bytes.resize(0x1000, 0);
  return file.bytes;
}

/// A universal file with the 64-bit slice at 0x1000 and the 32-bit one at 0x4000.
Bytes fat() {
  const Bytes a = thin64();
  const Bytes b = thin32();
  Writer file;
  file.be32(0xcafebabe).be32(2);
  file.be32(0x01000007).be32(3).be32(0x1000).be32(static_cast<std::uint32_t>(a.size())).be32(12);
  file.be32(7).be32(3).be32(0x4000).be32(static_cast<std::uint32_t>(b.size())).be32(12);
  file.bytes.resize(0x1000, 0);
  file.raw(a);
  file.bytes.resize(0x4000, 0);
  file.raw(b);
  return file.bytes;
}

std::vector<VRDMachOSliceInfo> slicesOf(const Bytes& bytes) {
  std::vector<VRDMachOSliceInfo> slices;
  VRDMachOEnumerateSlicesAtAddress(bytes.data(), bytes.size(),
                                   [&](const VRDMachOSliceInfo& s) { slices.push_back(s); });
  return slices;
}

std::vector<std::uint32_t> commandsOf(VRDMachOSliceInfo slice) {
  std::vector<std::uint32_t> cmds;
  VRDMachOSliceEnumerateLoadCommands(
      &slice, [&](std::uint32_t cmd, std::uint32_t, const std::uint8_t*) { cmds.push_back(cmd); });
  return cmds;
}

class VRDMachOTest : public test::LibraryTest {
 protected:
  std::string write(const std::string& name, const Bytes& bytes) {
    const auto path = tempDir() / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }
};

TEST_F(VRDMachOTest, OnlyRegularFilesOfSixteenBytesOrMoreAreMapped) {
  VRDMachOFile file;
  EXPECT_FALSE(VRDMachOFileInitWithPath(&file, write("short", Bytes(10, 0xfe)).c_str()));
  EXPECT_EQ(file.fd, -1);
  EXPECT_FALSE(VRDMachOFileInitWithPath(&file, tempDir().c_str()));
  EXPECT_FALSE(VRDMachOFileInitWithPath(&file, (tempDir() / "absent").c_str()));
  EXPECT_FALSE(VRDMachOFileInitWithPath(nullptr, "/x"));
  EXPECT_FALSE(VRDMachOFileInitWithPath(&file, nullptr));
  EXPECT_EQ(file.mappedFile, nullptr);

  ASSERT_TRUE(VRDMachOFileInitWithPath(&file, write("exe", thin64()).c_str()));
  EXPECT_EQ(file.mappedSize, 0x2000);
  VRDMachOFileDestroy(&file);
  EXPECT_EQ(file.fd, -1);
  VRDMachOFileDestroy(&file);  // twice is harmless
}

TEST_F(VRDMachOTest, AUniversalFileYieldsEachSliceAtItsOffset) {
  VRDMachOFile file;
  ASSERT_TRUE(VRDMachOFileInitWithPath(&file, write("fat", fat()).c_str()));
  std::vector<VRDMachOSliceInfo> slices;
  VRDMachOFileEnumerateSlices(&file, [&](const VRDMachOSliceInfo& s) { slices.push_back(s); });
  ASSERT_EQ(slices.size(), 2u);
  EXPECT_EQ(slices[0].startAddress, file.mappedFile + 0x1000);
  EXPECT_EQ(slices[1].startAddress, file.mappedFile + 0x4000);
  EXPECT_STREQ(VRDMachOSliceGetArchitectureName(slices[0]), "x86_64");
  EXPECT_STREQ(VRDMachOSliceGetArchitectureName(slices[1]), "i386");
  EXPECT_TRUE(VRDMachOSliceIs64Bit(slices[0]));
  EXPECT_FALSE(VRDMachOSliceIs64Bit(slices[1]));
  EXPECT_EQ(VRDMachOFileSliceForArchitectureName(&file, "i386").startAddress, file.mappedFile + 0x4000);
  EXPECT_EQ(VRDMachOFileSliceForArchitectureName(&file, "arm64").startAddress, nullptr);
  EXPECT_EQ(commandsOf(slices[1]), std::vector<std::uint32_t>{1});
}

TEST_F(VRDMachOTest, AThinFileYieldsOneSliceAndItsCommandsReadAsWritten) {
  const Bytes bytes = thin64();
  const auto slices = slicesOf(bytes);
  ASSERT_EQ(slices.size(), 1u);
  EXPECT_EQ(slices[0].cputype, 0x01000007);
  EXPECT_TRUE(VRDMachOSliceIs64Bit(slices[0]));

  VRDMachOSliceInfo slice = VRDMachOSliceWithHeader(bytes.data(), bytes.size());
  EXPECT_EQ(slice.cputype, 0);
  std::string uuid;
  std::optional<std::string> minimum;
  std::optional<std::string> sdk;
  std::string dylib;
  bool encrypted = false;
  VRDMachOSegment segment;
  VRDMachOSliceEnumerateLoadCommands(&slice, [&](std::uint32_t cmd, std::uint32_t, const std::uint8_t* c) {
    if (cmd == VRDMachOLCUUID) uuid = VRDMachOFormatUUID(VRDMachOGetUUID(c));
    if (cmd == VRDMachOLCVersionMinMacOSX) {
      const auto min = VRDMachOGetMinimumOSVersion(c);
      const auto linked = VRDMachOGetLinkedSDKVersion(c);
      EXPECT_EQ(min, (VRDMachOVersion{10, 13, 2}));
      minimum = VRDMachOFormatVersion(&min);
      sdk = VRDMachOFormatVersion(&linked);
    }
    if (cmd == kLoadDylib) dylib = VRDMachOGetDylibPath(c);
    if (cmd == kEncryptionInfo) encrypted = VRDMachOIsEncrypted(c);
    if (cmd == VRDMachOLCSegment64) segment = VRDMachOGetSegmentInfo(c);
  });
  EXPECT_EQ(slice.cputype, 0x01000007);  // filled in by the walk
  EXPECT_EQ(uuid, "00112233445566778899aabbccddeeff");
  EXPECT_EQ(minimum, "10.13.2");
  EXPECT_EQ(sdk, "10.14.0");
  EXPECT_EQ(dylib, "/usr/lib/libSystem.B.dylib");
  EXPECT_TRUE(encrypted);
  EXPECT_STREQ(segment.name, "__TEXT");
  EXPECT_EQ(segment.address, 0x100000000u);
  EXPECT_EQ(segment.size, 0x2000u);
  EXPECT_EQ(VRDMachOFormatVersion(nullptr), std::nullopt);
}

TEST_F(VRDMachOTest, SectionsAreFoundInTheirSegmentAndPointIntoTheSlice) {
  const Bytes bytes = thin64();
  const VRDMachOSliceInfo slice = slicesOf(bytes).at(0);
  VRDMachOSection section;
  ASSERT_TRUE(VRDMachOSliceGetSection(&slice, "__TEXT", "__unwind_info", &section));
  EXPECT_EQ(section.addr, 0x100000f40u);
  EXPECT_EQ(section.size, 0x20u);
  EXPECT_EQ(section.offset, 0xf40u);
  const std::uint8_t* at = nullptr;
  ASSERT_TRUE(VRDMachOSliceGetSectionAddress(&slice, "__TEXT", "__text", &at));
  EXPECT_EQ(at, bytes.data() + 0xf00);
  EXPECT_FALSE(VRDMachOSliceGetSection(&slice, "__TEXT", "__eh_frame", &section));
  EXPECT_FALSE(VRDMachOSliceGetSection(&slice, "__DATA", "__text", &section));
  EXPECT_FALSE(VRDMachOSliceGetSectionAddress(&slice, "__TEXT", "__text", nullptr));

  const Bytes small = thin32();
  const VRDMachOSliceInfo slice32 = slicesOf(small).at(0);
  ASSERT_TRUE(VRDMachOSliceGetSection(&slice32, "__TEXT", "__text", &section));
  EXPECT_EQ(section.addr, 0x1f00u);
  EXPECT_EQ(section.offset, 0xf00u);
}

TEST_F(VRDMachOTest, FilesThatRunPastTheirEndAreRefused) {
  // Cut inside the load commands.
  Bytes cut = thin64();
  cut.resize(100);
  EXPECT_EQ(slicesOf(cut).size(), 1u);
  EXPECT_TRUE(commandsOf(slicesOf(cut).at(0)).empty());
  VRDMachOFile file;
  ASSERT_TRUE(VRDMachOFileInitWithPath(&file, write("cut", cut).c_str()));
  VRDMachOSliceInfo fromFile = VRDMachOFileSliceForArchitectureName(&file, "x86_64");
  EXPECT_TRUE(commandsOf(fromFile).empty());
  VRDMachOSection section;
  EXPECT_FALSE(VRDMachOSliceGetSection(&fromFile, "__TEXT", "__text", &section));

  // A command claiming more than the command area, and one of size 0 (which would never advance).
  for (const std::uint32_t size : {0xFFFFFFF0u, 0u}) {
    Bytes bad = thin64();
    std::memcpy(bad.data() + 32 + 4, &size, 4);
    EXPECT_TRUE(commandsOf(slicesOf(bad).at(0)).empty()) << size;
  }
  // A universal file whose second slice lies beyond the end, and one whose table does.
  Bytes shortFat = fat();
  shortFat.resize(0x4000 + 100);
  EXPECT_TRUE(slicesOf(shortFat).empty());
  Bytes hugeTable = fat();
  hugeTable[4] = 0x7F;
  EXPECT_TRUE(slicesOf(hugeTable).empty());
  // A section whose bytes lie outside the slice is found but has no address.
  Bytes farSection = thin64();
  const std::uint32_t far = 0x7FFFFFF0;
  std::memcpy(farSection.data() + 32 + 72 + 48, &far, 4);
  const VRDMachOSliceInfo s = slicesOf(farSection).at(0);
  const std::uint8_t* at = nullptr;
  EXPECT_TRUE(VRDMachOSliceGetSection(&s, "__TEXT", "__text", &section));
  EXPECT_FALSE(VRDMachOSliceGetSectionAddress(&s, "__TEXT", "__text", &at));
  EXPECT_EQ(at, nullptr);
}

TEST_F(VRDMachOTest, TenThousandMutatedFilesAreReadWithoutAFault) {
  const Bytes valid = fat();
  const std::uint64_t seed = test::testSeed(20240601);
  SCOPED_TRACE(test::seedNote(seed));
  std::mt19937 rng(static_cast<std::uint32_t>(seed));
  std::size_t slicesSeen = 0;
  for (int round = 0; round < 10000; ++round) {
    Bytes bytes = valid;
    // Flip a few bytes, mostly in the headers and commands where they matter; sometimes cut the file.
    const int flips = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < flips; ++i) {
      const std::size_t region = rng() % 3;
      const std::size_t at = region == 0 ? rng() % 64 : region == 1 ? 0x1000 + rng() % 400 : rng() % bytes.size();
      bytes[at] = static_cast<std::uint8_t>(rng());
    }
    if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
    // An exact-size heap copy, so a read past the end is caught by the address checker.
    const auto copy = std::make_unique<std::uint8_t[]>(bytes.size());
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    VRDMachOEnumerateSlicesAtAddress(copy.get(), bytes.size(), [&](const VRDMachOSliceInfo& info) {
      ++slicesSeen;
      VRDMachOSliceInfo slice = info;
      VRDMachOSliceGetArchitectureName(slice);
      VRDMachOSliceEnumerateLoadCommands(&slice, [](std::uint32_t cmd, std::uint32_t, const std::uint8_t* c) {
        VRDMachOFormatUUID(cmd == VRDMachOLCUUID && VRDMachOGetUUID(c) ? VRDMachOGetUUID(c) : nullptr);
        VRDMachOGetDylibPath(c);
        VRDMachOIsEncrypted(c);
        VRDMachOGetMinimumOSVersion(c);
        VRDMachOGetLinkedSDKVersion(c);
        VRDMachOGetSegmentInfo(c);
      });
      VRDMachOSection section;
      const std::uint8_t* at = nullptr;
      VRDMachOSliceGetSection(&slice, "__TEXT", "__unwind_info", &section);
      if (VRDMachOSliceGetSectionAddress(&slice, "__TEXT", "__text", &at)) {
        ASSERT_GE(at, slice.startAddress);
      }
    });
  }
  EXPECT_GT(slicesSeen, 1000u);  // the mutations left many files readable, so the readers really ran
}

}  // namespace
}  // namespace crashreporting
