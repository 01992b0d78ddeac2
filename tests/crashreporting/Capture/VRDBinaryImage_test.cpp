#include <dlfcn.h>
#include <elf.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include <sys/mman.h>

#include <fstream>
#include <sstream>

#include "crashreporting/Capture/VRDBinaryImage.h"
#include "crashreporting/Capture/VRDLoadedImages.h"
#include "crashreporting/Reports/VRDElfFile.h"
#include "crashreporting/platform/SerialQueue.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

class BinaryImages : public ContextTest {
 protected:
  void SetUp() override { ASSERT_TRUE(VRDContextInitialize(&data_)); }
  void TearDown() override {
    if (library_ != nullptr) dlclose(library_);
  }

  // The record's lines once the queue has written what it holds.
  std::vector<nlohmann::json> records() {
    VRDContextBinaryImageQueue().sync([] {});
    return recordLines(temp_.path() / "binary_images.vrdrecord");
  }
  static std::vector<nlohmann::json> linesFor(const std::vector<nlohmann::json>& lines, const char* kind,
                                              const std::string& pathPart) {
    std::vector<nlohmann::json> found;
    for (const auto& line : lines) {
      if (line.contains(kind) && line[kind]["path"].get<std::string>().find(pathPart) != std::string::npos) {
        found.push_back(line[kind]);
      }
    }
    return found;
  }
  std::uint64_t loadLibrary(const std::string& path) {
    library_ = dlopen(path.c_str(), RTLD_NOW);
    EXPECT_NE(library_, nullptr) << dlerror();
    return library_ ? reinterpret_cast<std::uint64_t>(dlsym(library_, "crashreportingTestlibAdd")) : 0;
  }
  void unloadLibrary() {
    dlclose(library_);
    library_ = nullptr;
  }

  void* library_ = nullptr;
};

TEST_F(BinaryImages, TheStartRecordsTheExecutableAndLibcUnderTheirBuildIDs) {
  const auto lines = records();
  ASSERT_FALSE(lines.empty());
  const auto self = linesFor(lines, "load", std::filesystem::read_symlink("/proc/self/exe").string());
  const auto libc = linesFor(lines, "load", "/libc.so");
  ASSERT_EQ(self.size(), 1u);
  ASSERT_EQ(libc.size(), 1u);
  for (const auto& image : {self[0], libc[0]}) {
    const auto file = VRDElfSymbolTable::fromFile(image["path"].get<std::string>());
    ASSERT_TRUE(file && !file->buildID().empty()) << image;
    EXPECT_EQ(image["uuid"], file->buildID());
  }
  // Keys in their order, on every line of the first look.
  std::istringstream text(readText(temp_.path() / "binary_images.vrdrecord"));
  const std::regex form(R"(\{"load":\{"path":"[^"]+","uuid":"[0-9a-f]{32}","base":[0-9]+,"size":[0-9]+\}\})");
  for (std::string line; std::getline(text, line);) EXPECT_TRUE(std::regex_match(line, form)) << line;
  VRDBinaryImageNode node{};
  const auto code = reinterpret_cast<std::uint64_t>(&VRDBinaryImageInit);
  ASSERT_TRUE(VRDBinaryImageSafeFindImageForAddress(code, &node));
  EXPECT_EQ(node.base, self[0]["base"].get<std::uint64_t>());
  EXPECT_EQ(node.size, self[0]["size"].get<std::uint64_t>());
  EXPECT_EQ(node.unwindInfo, 0u);
  EXPECT_EQ(node.crashInfo, 0u);
  // .eh_frame begins with a CIE: a non-zero length, then the CIE id 0.
  ASSERT_NE(node.ehFrameHdr, 0u);
  ASSERT_NE(node.ehFrame, 0u);
  std::uint32_t cie[2];
  std::memcpy(cie, reinterpret_cast<const void*>(node.ehFrame), sizeof cie);
  EXPECT_NE(cie[0], 0u);
  EXPECT_EQ(cie[1], 0u);
}

TEST_F(BinaryImages, ALoadedAndUnloadedLibraryIsRecordedAndItsAddressesGoWithIt) {
  const std::uint64_t function = loadLibrary(CRASHREPORTING_TESTLIB);
  VRDBinaryImageNode node{};
  EXPECT_FALSE(VRDBinaryImageSafeFindImageForAddress(function, &node)) << "not looked for yet";
  VRDBinaryImageCheckForChanges();
  ASSERT_TRUE(VRDBinaryImageSafeFindImageForAddress(function, &node));
  auto loads = linesFor(records(), "load", "libcrashreporting_testlib");
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0]["base"].get<std::uint64_t>(), node.base);
  EXPECT_FALSE(loads[0].contains("bundle_id"));

  unloadLibrary();
  VRDBinaryImageCheckForChanges();
  EXPECT_FALSE(VRDBinaryImageSafeFindImageForAddress(function, &node));
  const auto lines = records();
  const auto unloads = linesFor(lines, "unload", "libcrashreporting_testlib");
  ASSERT_EQ(unloads.size(), 1u);
  EXPECT_EQ(unloads[0], loads[0]);
  // Nothing changed since: another look writes nothing.
  VRDBinaryImageCheckForChanges();
  EXPECT_EQ(records().size(), lines.size());
}

TEST_F(BinaryImages, AnUnloadClearsTheLiveNodeNotOneUnloadedBeforeAtTheSameBase) {
  VRDBinaryImageDetails image;
  image.node = {0x7e0000000000, 0x1000, 0, 0, 0, 0};
  std::snprintf(image.uuid, sizeof image.uuid, "%032d", 7);
  image.path = "/opt/plugin.so";
  VRDBinaryImageNode node{};
  VRDBinaryImageStoreNode(true, image);
  VRDBinaryImageStoreNode(false, image);
  EXPECT_FALSE(VRDBinaryImageSafeFindImageForAddress(0x7e0000000010, &node));
  VRDBinaryImageStoreNode(true, image);
  EXPECT_TRUE(VRDBinaryImageSafeFindImageForAddress(0x7e0000000010, &node));
  VRDBinaryImageStoreNode(false, image);
  EXPECT_FALSE(VRDBinaryImageSafeFindImageForAddress(0x7e0000000010, &node));
  EXPECT_EQ(linesFor(records(), "unload", "/opt/plugin.so").size(), 2u);
}

TEST_F(BinaryImages, AnImageBeyondTheTableIsRecordedWithAWarningButGetsNoNode) {
  // Take every free node, so the next image is the 513th.
  std::uint64_t fake = 0x100000;
  for (VRDBinaryImageNode& node : VRDContextWritable()->binaryImages) {
    if (node.base == 0) node = {fake += 0x1000, 0x10, 0, 0, 0, 0};
  }
  const std::uint64_t function = loadLibrary(CRASHREPORTING_TESTLIB);
  VRDBinaryImageCheckForChanges();
  VRDBinaryImageNode node{};
  EXPECT_FALSE(VRDBinaryImageSafeFindImageForAddress(function, &node));
  const auto loads = linesFor(records(), "load", "libcrashreporting_testlib");
  ASSERT_EQ(loads.size(), 1u);
  char base[32];
  std::snprintf(base, sizeof base, "%llx", static_cast<unsigned long long>(loads[0]["base"].get<std::uint64_t>()));
  const std::string log = readText(temp_.path() / "sdk.log");
  EXPECT_TRUE(std::regex_search(
      log, std::regex(std::string("WARN  \\[VRDBinaryImageStoreNode:[0-9]+\\] Error: Unable to track a loaded node 0x") +
                      base + "\n")))
      << log;
}

TEST_F(BinaryImages, AFrameworkOutsideSystemCarriesItsBundleKeys) {
  const auto bundle = temp_.path() / "Plugin.framework";
  std::filesystem::create_directories(bundle / "Versions/A");
  std::filesystem::create_directories(bundle / "Resources");
  std::filesystem::copy_file(CRASHREPORTING_TESTLIB, bundle / "Versions/A/Plugin");
  std::ofstream(bundle / "Resources/Info.plist")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
         "<key>CFBundleIdentifier</key><string>org.example.plugin</string>"
         "<key>CFBundleVersion</key><string>42</string>"
         "<key>CFBundleShortVersionString</key><string></string></dict></plist>\n";
  loadLibrary((bundle / "Versions/A/Plugin").string());
  VRDBinaryImageCheckForChanges();
  const auto loads = linesFor(records(), "load", "Plugin.framework");
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0]["bundle_id"], "org.example.plugin");
  EXPECT_EQ(loads[0]["build_version"], "42");
  EXPECT_FALSE(loads[0].contains("display_version")) << "empty texts are left out";
}

TEST_F(BinaryImages, AtCrashTimeTheLoadersListAddsAnImageLoadedSinceTheLastLookOnALineOfItsOwn) {
  records();
  // A line the binary-image queue was writing when its thread was stopped.
  std::ofstream(temp_.path() / "binary_images.vrdrecord", std::ios::app) << R"({"load":{"path":"/tor)";
  const std::uint64_t address = loadLibrary(CRASHREPORTING_TESTLIB);
  VRDBinaryImageNode node;
  ASSERT_FALSE(VRDBinaryImageSafeFindImageForAddress(address, &node)) << "not looked for yet";

  EXPECT_EQ(VRDLoadedImagesCatchUp(), 1);
  ASSERT_TRUE(VRDBinaryImageSafeFindImageForAddress(address, &node));
  EXPECT_NE(node.ehFrameHdr, 0u) << "unwound with its own tables";
  EXPECT_EQ(VRDLoadedImagesCatchUp(), 0) << "known now";

  std::istringstream text(readText(temp_.path() / "binary_images.vrdrecord"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], R"({"load":{"path":"/tor)");
  const auto added = nlohmann::json::parse(lines.back())["load"];
  const auto file = VRDElfSymbolTable::fromFile(CRASHREPORTING_TESTLIB);
  ASSERT_TRUE(file && !file->buildID().empty());
  EXPECT_EQ(added, nlohmann::json({{"path", CRASHREPORTING_TESTLIB},
                                   {"uuid", file->buildID()},
                                   {"base", node.base},
                                   {"size", node.size}}));
}

// Loaded by a path relative to a folder the process has left since: the loader keeps that path; the record
// names the file mapped, at crash time as at the table's next look.
TEST_F(BinaryImages, ALibraryLoadedByARelativePathIsRecordedUnderItsFilesAbsolutePath) {
  records();
  const std::filesystem::path library = CRASHREPORTING_TESTLIB;
  const std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(library.parent_path());
  loadLibrary("./" + library.filename().string());
  std::filesystem::current_path(here);
  EXPECT_EQ(VRDLoadedImagesCatchUp(), 1);
  VRDBinaryImageCheckForChanges();
  const auto loads = linesFor(records(), "load", library.filename());
  ASSERT_EQ(loads.size(), 2u) << "at crash time, then at the look";
  for (const auto& load : loads) EXPECT_EQ(load["path"], std::filesystem::canonical(library).string());
}

// The node keeps the readable segment that holds both unwind sections, which crash-time walks read without
// proofs; none when the sections lie in different segments or the segment is not readable.
TEST(BinaryImageNodes, KeepTheReadableSegmentHoldingBothUnwindSections) {
  alignas(16) static std::uint8_t image[0x1000] = {};
  const auto bias = reinterpret_cast<std::uint64_t>(image);
  // `.eh_frame_hdr` at 0x100 (version 1, pc-relative 4-byte `.eh_frame` pointer), `.eh_frame` at 0x200.
  const std::uint8_t header[] = {1, 0x1b, 0x03, 0x3b};
  std::memcpy(image + 0x100, header, sizeof header);
  const std::int32_t toEhFrame = 0x200 - 0x104;
  std::memcpy(image + 0x104, &toEhFrame, sizeof toEhFrame);
  const auto load = [](std::uint64_t vaddr, std::uint64_t size, std::uint32_t flags) {
    ElfW(Phdr) segment{};
    segment.p_type = PT_LOAD;
    segment.p_flags = flags;
    segment.p_offset = vaddr;
    segment.p_vaddr = vaddr;
    segment.p_memsz = size;
    return segment;
  };
  ElfW(Phdr) ehFrameHdr{};
  ehFrameHdr.p_type = PT_GNU_EH_FRAME;
  ehFrameHdr.p_vaddr = 0x100;
  struct Case {
    std::vector<ElfW(Phdr)> segments;
    std::uint64_t start;
    std::uint64_t end;
  };
  const Case cases[] = {
      {{load(0, 0x1000, PF_R | PF_X), ehFrameHdr}, bias, bias + 0x1000},
      {{load(0, 0x80, PF_R | PF_X), load(0x80, 0xf80, PF_R), ehFrameHdr}, bias + 0x80, bias + 0x1000},
      {{load(0, 0x180, PF_R | PF_X), load(0x180, 0xe80, PF_R), ehFrameHdr}, 0, 0},  // split between two
      {{load(0, 0x80, PF_R | PF_X), load(0x80, 0xf80, PF_W), ehFrameHdr}, 0, 0},     // not readable
  };
  for (const Case& c : cases) {
    VRDBinaryImageNode node{};
    ASSERT_TRUE(VRDBinaryImageNodeFromSegments(bias, c.segments.data(), c.segments.size(), &node));
    EXPECT_EQ(node.ehFrameHdr, bias + 0x100);
    EXPECT_EQ(node.ehFrame, bias + 0x200);
    EXPECT_EQ(node.unwindSegmentStart, c.start);
    EXPECT_EQ(node.unwindSegmentEnd, c.end);
  }
}

// So do the nodes of loaded images, the table's and those the loader's list adds at crash time.
TEST_F(BinaryImages, ALoadedImagesNodeHoldsItsUnwindSectionsInOneReadableSegment) {
  VRDBinaryImageNode node{};
  ASSERT_TRUE(VRDBinaryImageSafeFindImageForAddress(reinterpret_cast<std::uint64_t>(&std::fopen), &node));
  EXPECT_LE(node.unwindSegmentStart, node.ehFrameHdr);
  EXPECT_LT(node.ehFrameHdr, node.unwindSegmentEnd);
  EXPECT_LE(node.unwindSegmentStart, node.ehFrame);
  EXPECT_LT(node.ehFrame, node.unwindSegmentEnd);
}

TEST(LoadedImages, AStringIsReadUpToUnreadableMemoryAndNeverPastItsRoom) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  auto* pages = static_cast<char*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(pages, MAP_FAILED);
  ASSERT_EQ(mprotect(pages + page, page, PROT_NONE), 0);
  char* end = pages + page;
  std::memcpy(end - 4, "abc", 4);  // ends on the last byte of the readable page
  char out[64];
  EXPECT_TRUE(VRDLoadedImagesReadString(reinterpret_cast<std::uint64_t>(end - 4), out, sizeof out));
  EXPECT_STREQ(out, "abc");
  std::memcpy(end - 3, "xyz", 3);  // runs into the unreadable page
  EXPECT_TRUE(VRDLoadedImagesReadString(reinterpret_cast<std::uint64_t>(end - 3), out, sizeof out));
  EXPECT_STREQ(out, "xyz");
  EXPECT_FALSE(VRDLoadedImagesReadString(reinterpret_cast<std::uint64_t>(end), out, sizeof out));
  EXPECT_STREQ(out, "");
  std::memset(pages, 'q', 100);
  EXPECT_TRUE(VRDLoadedImagesReadString(reinterpret_cast<std::uint64_t>(pages), out, 8));
  EXPECT_STREQ(out, "qqqqqqq");
  munmap(pages, 2 * page);
}

TEST_F(BinaryImages, AnImageIsFoundByItsUUIDOnlyWhenLoaded) {
  VRDBinaryImageDetails self;
  ASSERT_TRUE(VRDBinaryImageMainExecutableDetails(&self));
  VRDBinaryImageDetails found;
  ASSERT_TRUE(VRDBinaryImageFindImageForUUID(self.uuid, &found));
  EXPECT_EQ(found.node.base, self.node.base);
  EXPECT_EQ(found.path, std::filesystem::read_symlink("/proc/self/exe").string());
  EXPECT_FALSE(VRDBinaryImageFindImageForUUID("00000000000000000000000000000000", &found));
  EXPECT_FALSE(VRDBinaryImageFindImageForUUID(nullptr, &found));
}

// A recorded UUID names an image when the two agree in the 32-digit form: records that carry a whole build-id
// (40 digits of a SHA-1, 16 of lld's 8 bytes) match the image's UUID.
TEST(BinaryImageUUIDs, MatchInTheir32DigitForm) {
  const std::string sha1 = "0123456789abcdef0123456789abcdef01234567";
  const std::string shortID = "0123456789abcdef";
  const struct {
    std::string recorded;
    std::string uuid;
    bool matches;
  } cases[] = {
      {sha1, sha1.substr(0, 32), true},
      {sha1.substr(0, 32), sha1.substr(0, 32), true},
      {shortID, shortID + std::string(16, '0'), true},
      {shortID + std::string(16, '0'), shortID + std::string(16, '0'), true},
      {shortID, sha1.substr(0, 32), false},
      {sha1, shortID + std::string(16, '0'), false},
      {shortID + std::string(15, '0') + "1", shortID + std::string(16, '0'), false},
      {"", std::string(32, '0'), false},
  };
  for (const auto& c : cases) EXPECT_EQ(VRDImageUUIDMatches(c.recorded, c.uuid), c.matches) << c.recorded;
}

}  // namespace
}  // namespace crashreporting::test
