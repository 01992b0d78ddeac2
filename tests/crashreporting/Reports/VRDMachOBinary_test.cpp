#include "crashreporting/Reports/VRDMachOBinary.h"

#include <gtest/gtest.h>

#include <fstream>

#include "crashreporting/Reports/VRDdSYM.h"
#include "crashreporting/support/MachOWriter.h"
#include "support/TestEnvironment.h"

namespace crashreporting::test {
namespace {

constexpr std::int32_t kX86_64 = 0x01000007;
constexpr std::int32_t kARM64 = 0x0100000c;
const std::string kARM64UUID = "5b5b5b5b5b5b5b5b5b5b5b5b5b5b5b5b";
const std::string kX86_64UUID(32, 'a');

std::uint32_t versionWord(std::uint32_t major, std::uint32_t minor, std::uint32_t bugfix) {
  return (major << 16) | (minor << 8) | bugfix;
}

/// A 64-bit slice: LC_UUID of 16 × `uuidByte`, two dylibs, LC_VERSION_MIN_MACOSX 10.9.0 (SDK 10.12.0), then
/// LC_VERSION_MIN_IPHONEOS 11.2.3 (SDK 12.0.1), which overwrites it.
Bytes slice(std::int32_t cputype, std::uint8_t uuidByte) {
  MachOWriter cmds;
  cmds.u32(27).u32(24);
  cmds.bytes.insert(cmds.bytes.end(), 16, uuidByte);
  cmds.loadDylib("/usr/lib/libSystem.B.dylib");
  cmds.u32(36).u32(16).u32(versionWord(10, 9, 0)).u32(versionWord(10, 12, 0));
  cmds.loadDylib("@rpath/Work.framework/Work");
  cmds.u32(37).u32(16).u32(versionWord(11, 2, 3)).u32(versionWord(12, 0, 1));
  MachOWriter file;
  file.u32(0xfeedfacf).u32(static_cast<std::uint32_t>(cputype)).u32(cputype == kARM64 ? 0 : 3).u32(2).u32(5);
  file.u32(static_cast<std::uint32_t>(cmds.bytes.size())).u32(0).u32(0);
  file.raw(cmds.bytes);
  file.bytes.resize(0x800, 0);
  return file.bytes;
}

struct Entry {
  std::int32_t cputype;
  Bytes bytes;
};

/// A universal file with the slices at 0x1000, 0x2000, … in the order given.
Bytes fat(const std::vector<Entry>& entries) {
  MachOWriter file;
  file.be32(0xcafebabe).be32(static_cast<std::uint32_t>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    file.be32(static_cast<std::uint32_t>(entries[i].cputype)).be32(entries[i].cputype == kARM64 ? 0 : 3);
    file.be32(static_cast<std::uint32_t>(0x1000 * (i + 1))).be32(static_cast<std::uint32_t>(entries[i].bytes.size()));
    file.be32(12);
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    file.bytes.resize(0x1000 * (i + 1), 0);
    file.raw(entries[i].bytes);
  }
  return file.bytes;
}

class MachOModel : public ::testing::Test {
 protected:
  std::filesystem::path write(const std::filesystem::path& path, const Bytes& bytes) const {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  /// A dSYM folder: Contents/Info.plist (when `identifier` is given) and `binary` under Resources/DWARF.
  std::filesystem::path dSYM(const std::string& name, const std::optional<std::string>& identifier,
                             const Bytes& binary) const {
    const auto root = temp_.path() / name;
    if (identifier) {
      std::filesystem::create_directories(root / "Contents");
      std::ofstream(root / "Contents" / "Info.plist")
          << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>)"
          << *identifier << R"(</string>
<key>CFBundleVersion</key><string>41</string>
<key>CFBundleShortVersionString</key><string>2.5</string>
</dict></plist>
)";
    }
    write(root / "Contents" / "Resources" / "DWARF" / "Work", binary);
    return root;
  }

  tilvane::test::ScopedTempDir temp_;
};

TEST_F(MachOModel, ATwoSliceFileIsIdentifiedTheSameWhicheverOrderItsSlicesComeIn) {
  const auto forward =
      VRDMachOBinary::MachOBinaryWithPath(write(temp_.path() / "a", fat({{kX86_64, slice(kX86_64, 0xaa)},
                                                                        {kARM64, slice(kARM64, 0x5b)}})));
  const auto swapped =
      VRDMachOBinary::MachOBinaryWithPath(write(temp_.path() / "b", fat({{kARM64, slice(kARM64, 0x5b)},
                                                                        {kX86_64, slice(kX86_64, 0xaa)}})));
  ASSERT_TRUE(forward && swapped);
  EXPECT_EQ(forward->instanceIdentifier(), swapped->instanceIdentifier());
  // arm64 sorts before x86_64.
  EXPECT_EQ(forward->instanceIdentifier(), VRDMachOBinary::hashNSString(kARM64UUID + kX86_64UUID));
  EXPECT_EQ(VRDMachOBinary::hashNSString("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");

  // Enumeration keeps the file's order.
  std::vector<std::pair<std::string, std::string>> seen;
  swapped->enumerateUUIDs([&](const std::string& uuid, const std::string& architecture) {
    seen.emplace_back(architecture, uuid);
  });
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{{"arm64", kARM64UUID}, {"x86_64", kX86_64UUID}}));
  ASSERT_NE(swapped->sliceForArchitecture("x86_64"), nullptr);
  EXPECT_EQ(swapped->sliceForArchitecture("x86_64")->uuid(), kX86_64UUID);
  EXPECT_EQ(swapped->sliceForArchitecture("i386"), nullptr);
  EXPECT_EQ(swapped->path(), temp_.path() / "b");
}

TEST_F(MachOModel, ASliceReadsItsLibrariesInOrderAndTheLastVersionCommand) {
  // A moved binary keeps its slices readable (they point into its mapping).
  std::optional<VRDMachOBinary> binary =
      VRDMachOBinary::MachOBinaryWithPath(write(temp_.path() / "thin", slice(kX86_64, 0x01)));
  ASSERT_TRUE(binary);
  const VRDMachOBinary moved = std::move(*binary);
  binary.reset();
  ASSERT_EQ(moved.slices().size(), 1u);
  const VRDMachOSlice& only = moved.slices()[0];
  EXPECT_EQ(only.architectureName(), "x86_64");
  EXPECT_EQ(only.uuid(), "01010101010101010101010101010101");
  EXPECT_EQ(only.linkedDylibs(),
            (std::vector<std::string>{"/usr/lib/libSystem.B.dylib", "@rpath/Work.framework/Work"}));
  EXPECT_EQ(only.minimumOSVersion(), (VRDMachOVersion{11, 2, 3}));
  EXPECT_EQ(only.linkedSDKVersion(), (VRDMachOVersion{12, 0, 1}));

  // A file that is not Mach-O still maps: one unknown slice with nothing read.
  const auto other = VRDMachOBinary::MachOBinaryWithPath(write(temp_.path() / "text", Bytes(64, 'x')));
  ASSERT_TRUE(other);
  ASSERT_EQ(other->slices().size(), 1u);
  EXPECT_EQ(other->slices()[0].architectureName(), "unknown");
  EXPECT_EQ(other->slices()[0].uuid(), "");
  EXPECT_EQ(other->slices()[0].minimumOSVersion(), VRDMachOVersion{});
}

TEST_F(MachOModel, AFileThatCannotBeMappedGivesNoBinary) {
  EXPECT_FALSE(VRDMachOBinary::MachOBinaryWithPath(temp_.path() / "absent"));
  EXPECT_FALSE(VRDMachOBinary::MachOBinaryWithPath(temp_.path()));
  EXPECT_FALSE(VRDMachOBinary::MachOBinaryWithPath(write(temp_.path() / "short", Bytes(10, 0xcf))));
}

TEST_F(MachOModel, ADSYMFolderIsReadWithItsIdentifierWithoutTheBuildToolsPrefix) {
  const auto path = dSYM("Work.dSYM", std::string(VRDdSYMBundleIdentifierPrefix) + "org.example.work",
                         fat({{kX86_64, slice(kX86_64, 0xaa)}, {kARM64, slice(kARM64, 0x5b)}}));
  const auto found = VRDdSYM::dSYMWithPath(path);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->bundleIdentifier(), "org.example.work");
  EXPECT_EQ(found->bundleVersion(), "41");
  EXPECT_EQ(found->shortBundleVersion(), "2.5");
  EXPECT_EQ(found->executablePath(), path / "Contents" / "Resources" / "DWARF" / "Work");
  ASSERT_TRUE(found->binary());
  EXPECT_EQ(found->binary()->slices().size(), 2u);
  std::vector<std::string> architectures;
  found->enumerateUUIDs([&](const std::string&, const std::string& architecture) { architectures.push_back(architecture); });
  EXPECT_EQ(architectures, (std::vector<std::string>{"x86_64", "arm64"}));

  // Without the prefix the identifier stays as it is; without an Info.plist there is none.
  EXPECT_EQ(VRDdSYM::dSYMWithPath(dSYM("Plain.dSYM", "org.example.dsym.plain", slice(kARM64, 1)))->bundleIdentifier(),
            "org.example.dsym.plain");
  const auto bare = VRDdSYM::dSYMWithPath(dSYM("Bare.dSYM", std::nullopt, slice(kARM64, 1)));
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->bundleIdentifier(), std::nullopt);
  EXPECT_TRUE(bare->binary());
}

TEST_F(MachOModel, ADSYMWhoseBinaryCannotOpenHasNoBinaryAndAFolderWithoutDwarfIsNoDSYM) {
  const auto path = dSYM("Short.dSYM", "org.example.short", Bytes(8, 0));
  // Hidden entries are not the binary.
  write(path / "Contents" / "Resources" / "DWARF" / ".hidden", slice(kARM64, 2));
  const auto found = VRDdSYM::dSYMWithPath(path);
  ASSERT_TRUE(found);
  EXPECT_FALSE(found->binary());
  EXPECT_EQ(found->executablePath(), std::nullopt);
  EXPECT_EQ(found->bundleIdentifier(), "org.example.short");
  int calls = 0;
  found->enumerateUUIDs([&](const std::string&, const std::string&) { ++calls; });
  EXPECT_EQ(calls, 0);

  EXPECT_FALSE(VRDdSYM::dSYMWithPath(temp_.path() / "Absent.dSYM"));
  const auto empty = temp_.path() / "Empty.dSYM";
  std::filesystem::create_directories(empty / "Contents" / "Resources" / "DWARF");
  EXPECT_FALSE(VRDdSYM::dSYMWithPath(empty)) << "no entry in DWARF";
  const auto file = temp_.path() / "File.dSYM";
  write(file / "Contents" / "Resources" / "DWARF", slice(kARM64, 3));
  EXPECT_FALSE(VRDdSYM::dSYMWithPath(file)) << "DWARF is a file";
  EXPECT_FALSE(VRDdSYM::dSYMWithPath(write(temp_.path() / "plain-file", slice(kARM64, 4))));
}

}  // namespace
}  // namespace crashreporting::test
