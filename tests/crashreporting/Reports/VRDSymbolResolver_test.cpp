#include <dlfcn.h>

#include <fstream>

#include "crashreporting/Capture/VRDBinaryImage.h"
#include "crashreporting/Reports/VRDElfFile.h"
#include "crashreporting/Reports/VRDProcessReportOperation.h"
#include "crashreporting/Reports/VRDSymbolResolver.h"
#include "crashreporting/support/CaptureTest.h"

// Functions of this program to name: one exported through no dynamic table (static), and two back to back.
[[gnu::noipa]] static int symbolResolverTestStatic(int x) { return x * 3 + 1; }

namespace crashreporting::test {
namespace {

// A crashed run's image record, written by hand: this program's images moved by `shift`.
class SymbolResolver : public ::testing::Test {
 protected:
  SymbolResolver() { EXPECT_TRUE(VRDBinaryImageMainExecutableDetails(&self_)); }

  std::string writeRecord(const std::vector<std::string>& lines) {
    const auto path = temp_.path() / "binary_images.vrdrecord";
    std::ofstream out(path);
    for (const auto& line : lines) out << line << "\n";
    return path.string();
  }
  std::string load(const std::string& path, const std::string& uuid, std::uint64_t base, std::uint64_t size) {
    return R"({"load":{"path":")" + path + R"(","uuid":")" + uuid + R"(","base":)" + std::to_string(base) +
           R"(,"size":)" + std::to_string(size) + "}}";
  }
  // The record of a run in which this executable lay `shift` higher.
  void loadSelf(VRDSymbolResolver& resolver) {
    ASSERT_TRUE(resolver.loadBinaryImagesFromFile(
        writeRecord({load("/opt/earlier/app", self_.uuid, self_.node.base + kShift, self_.node.size)})));
  }
  static std::uint64_t earlier(const void* address) { return reinterpret_cast<std::uint64_t>(address) + kShift; }

  static constexpr std::uint64_t kShift = 0x10000000;
  tilvane::test::ScopedTempDir temp_;
  VRDBinaryImageDetails self_;
};

TEST_F(SymbolResolver, NamesAnAddressOfTheEarlierRunInTheImageWithTheSameBuildID) {
  VRDSymbolResolver resolver;
  loadSelf(resolver);
  const auto frame = resolver.frameForAddress(earlier(reinterpret_cast<const void*>(&VRDBinaryImageInit)) + 5);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->symbol, "_ZN14crashreporting18VRDBinaryImageInitEv");
  EXPECT_EQ(frame->rawSymbol, frame->symbol);
  EXPECT_EQ(frame->offset, 5u);
  EXPECT_EQ(frame->library, "app");
  // A static function is in no dynamic symbol table: the file's own table names it.
  const auto local = resolver.frameForAddress(earlier(reinterpret_cast<const void*>(&symbolResolverTestStatic)) + 1);
  ASSERT_TRUE(local);
  EXPECT_EQ(local->symbol, "_ZL24symbolResolverTestStatici");
  EXPECT_EQ(local->offset, 1u);
  EXPECT_EQ(symbolResolverTestStatic(1), 4);
}

TEST_F(SymbolResolver, AReturnAddressBelongsToTheByteBeforeItSoALastCallKeepsItsFunctionsName) {
  VRDSymbolResolver resolver;
  loadSelf(resolver);
  const std::uint64_t start = earlier(reinterpret_cast<const void*>(&symbolResolverTestStatic));
  const auto faulting = resolver.frameForAddress(start, false);
  ASSERT_TRUE(faulting);
  EXPECT_EQ(faulting->symbol, "_ZL24symbolResolverTestStatici");
  EXPECT_EQ(faulting->offset, 0u);
  const auto returning = resolver.frameForAddress(start, true);
  ASSERT_TRUE(returning);
  EXPECT_NE(returning->symbol, "_ZL24symbolResolverTestStatici");

  // A call to a function that does not return, as the last instruction: its return address is the end.
  const auto file = VRDElfSymbolTable::fromFile(self_.path);
  ASSERT_TRUE(file);
  const auto symbol = std::find_if(file->symbols().begin(), file->symbols().end(),
                                   [](const VRDElfSymbol& s) { return s.name == "_ZL24symbolResolverTestStatici"; });
  ASSERT_NE(symbol, file->symbols().end());
  const auto atEnd = resolver.frameForAddress(start + symbol->size, true);
  ASSERT_TRUE(atEnd);
  EXPECT_EQ(atEnd->symbol, "_ZL24symbolResolverTestStatici");
  EXPECT_EQ(atEnd->offset, symbol->size) << "the offset is the return address's own";
}

TEST_F(SymbolResolver, AnImageNotLoadedNowIsNamedFromItsFileOnlyWhenTheFileIsTheBuildThatRan) {
  ASSERT_EQ(dlopen(CRASHREPORTING_TESTLIB, RTLD_NOW | RTLD_NOLOAD), nullptr) << "not loaded in this process";
  const auto file = VRDElfSymbolTable::fromFile(CRASHREPORTING_TESTLIB);
  ASSERT_TRUE(file && file->buildID().size() >= 32);
  const auto symbol = std::find_if(file->symbols().begin(), file->symbols().end(),
                                   [](const VRDElfSymbol& s) { return s.name == "crashreportingTestlibCall"; });
  ASSERT_NE(symbol, file->symbols().end());
  constexpr std::uint64_t kBase = 0x7f1234560000;
  const std::uint64_t address = kBase + symbol->address - file->imageAddress() + 4;

  VRDSymbolResolver resolver;
  ASSERT_TRUE(resolver.loadBinaryImagesFromFile(
      writeRecord({load(CRASHREPORTING_TESTLIB, file->buildID().substr(0, 32), kBase, 0x10000)})));
  const auto frame = resolver.frameForAddress(address);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->symbol, "crashreportingTestlibCall");
  EXPECT_EQ(frame->offset, 4u);
  EXPECT_EQ(frame->library, std::filesystem::path(CRASHREPORTING_TESTLIB).filename());

  VRDSymbolResolver rebuilt;
  ASSERT_TRUE(rebuilt.loadBinaryImagesFromFile(
      writeRecord({load(CRASHREPORTING_TESTLIB, "0123456789abcdef0123456789abcdef", kBase, 0x10000)})));
  const auto unnamed = rebuilt.frameForAddress(address);
  EXPECT_FALSE(unnamed && unnamed->symbol) << "a file of another build names nothing";
}

TEST_F(SymbolResolver, PlacesAddressesByTheLowestBaseAndNeverAtTheEnd) {
  VRDSymbolResolver resolver;
  ASSERT_TRUE(resolver.loadBinaryImagesFromFile(writeRecord({
      load("/b", "bb", 0x20000, 0x1000),
      load("/a", "aa", 0x10000, 0x20000),
      R"({"unload":{"path":"/a","uuid":"aa","base":65536,"size":131072}})",
      R"({"load":{"path":"/c","uuid":"cc","base":null,"size":16}})",
      R"({"load":{"path":"/torn",)",
  })));
  ASSERT_EQ(resolver.binaryImages().size(), 2u) << "unloads, null bases and torn lines are not candidates";
  ASSERT_NE(resolver.loadedBinaryImageForPC(0x20010), nullptr);
  EXPECT_EQ(*resolver.loadedBinaryImageForPC(0x20010)->at("path").get<std::string>(), "/a");
  EXPECT_EQ(*resolver.loadedBinaryImageForPC(0x2fff0)->at("path").get<std::string>(), "/a");
  EXPECT_EQ(resolver.loadedBinaryImageForPC(0x30000), nullptr);
  EXPECT_EQ(resolver.loadedBinaryImageForPC(0xffff), nullptr);
}

TEST_F(SymbolResolver, LeavesUnnamedWhatNoLoadedImageOfTheSameBuildHolds) {
  VRDSymbolResolver resolver;
  ASSERT_TRUE(resolver.loadBinaryImagesFromFile(
      writeRecord({load("/opt/other", "0123456789abcdef0123456789abcdef", 0x500000, 0x1000)})));
  VRDStackFrame frame = VRDStackFrame::stackFrameWithAddress(0x500010);
  EXPECT_FALSE(resolver.updateStackFrame(frame));
  EXPECT_FALSE(frame.symbol || frame.library);
  EXPECT_EQ(frame.offset, 0u);
  EXPECT_FALSE(resolver.frameForAddress(0x400000)) << "in no image";
  EXPECT_FALSE(resolver.frameForAddress(0));
  VRDBinaryImageDetails details;
  EXPECT_FALSE(resolver.fillInImageDetails(&details, std::nullopt));
  EXPECT_FALSE(resolver.fillInImageDetails(nullptr, std::string(self_.uuid)));
  EXPECT_FALSE(VRDSymbolResolver().loadBinaryImagesFromFile(""));
  EXPECT_FALSE(VRDSymbolResolver().loadBinaryImagesFromFile((temp_.path() / "missing").string()));
}

TEST_F(SymbolResolver, TheRecordsExactFramesDecideWhichAddressesAreReturnAddresses) {
  const auto path = temp_.path() / "signal.vrdrecord";
  std::ofstream(path) << R"({"threads":[{"registers":{},"stacktrace":[16,32,48],"exact_frames":[2]},)"
                      << R"({"registers":{},"stacktrace":[64,80]}]})" << "\n";
  const auto threads = VRDProcessReportOperation::threadArrayFromFile(path.string());
  ASSERT_TRUE(threads);
  ASSERT_EQ(threads->size(), 2u);
  const auto& listed = threads->at(0);
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].returnAddress, true) << "a thread recording itself starts from a return address";
  EXPECT_EQ(listed[1].returnAddress, true);
  EXPECT_EQ(listed[2].returnAddress, false) << "restored from a signal frame";
  for (const auto& frame : threads->at(1)) EXPECT_FALSE(frame.returnAddress) << "by position";
}

TEST(StackFrame, DescribesItselfWithOrWithoutAFileName) {
  auto frame = VRDStackFrame::stackFrameWithSymbol("main");
  EXPECT_EQ(frame.rawSymbol, "main");
  EXPECT_EQ(frame.description(), "{[0x0 + 0] main}");
  frame.address = 0x1f;
  frame.lineNumber = 12;
  frame.fileName = "main.cpp";
  EXPECT_EQ(frame.description(), "{[0x1f] main.cpp - main:12}");
  EXPECT_EQ(VRDStackFrame::stackFrameWithAddress(16).description(), "{[0x10 + 0] (null)}");
}

}  // namespace
}  // namespace crashreporting::test
