#include <elf.h>

#include <cstring>
#include <fstream>
#include <random>
#include <vector>

#include "crashreporting/Reports/VRDElfFile.h"
#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/ImageUUIDs.h"
#include "crashreporting/support/TestSeed.h"

namespace crashreporting::test {
namespace {

std::vector<std::uint8_t> fileBytes(const char* path) {
  const std::string text = readText(path);
  return {text.begin(), text.end()};
}

std::optional<VRDElfSymbolTable> parse(const std::vector<std::uint8_t>& bytes) {
  return VRDElfSymbolTable::fromBytes(bytes.data(), bytes.size());
}

TEST(ElfFile, ReadsTheFunctionsAndTheBuildIDOfARealLibrary) {
  const auto table = VRDElfSymbolTable::fromFile(CRASHREPORTING_TESTLIB);
  ASSERT_TRUE(table);
  const std::string sha1 = wholeBuildID(CRASHREPORTING_TESTLIB);
  ASSERT_EQ(sha1.size(), 40u);
  EXPECT_EQ(table->buildID(), sha1.substr(0, 32)) << "the image UUID: the SHA-1 build-id's first 16 bytes";
  const VRDElfSymbol* add = nullptr;
  for (const auto& symbol : table->symbols()) {
    if (symbol.name == "crashreportingTestlibAdd") add = &symbol;
  }
  ASSERT_NE(add, nullptr);
  ASSERT_GT(add->size, 1u);
  EXPECT_EQ(table->symbolForAddress(add->address), add);
  EXPECT_EQ(table->symbolForAddress(add->address + add->size - 1), add);
  const VRDElfSymbol* after = table->symbolForAddress(add->address + add->size);
  EXPECT_TRUE(after == nullptr || after->name != add->name);
  EXPECT_EQ(table->symbolForAddress(0), nullptr);

  // A self-recursive function is named as itself, not by the local alias its own call uses.
  const VRDElfSymbol* recurse = nullptr;
  for (const auto& symbol : table->symbols()) {
    if (symbol.name == "crashreportingTestlibRecurse") recurse = &symbol;
  }
  ASSERT_NE(recurse, nullptr);
  ASSERT_NE(table->symbolForAddress(recurse->address + 1), nullptr);
  EXPECT_EQ(table->symbolForAddress(recurse->address + 1)->name, "crashreportingTestlibRecurse");
}

TEST(ElfFile, RefusesWhatIsNoLittleEndianElf64AndSkipsBrokenSymbols) {
  auto bytes = fileBytes(CRASHREPORTING_TESTLIB);
  ASSERT_TRUE(parse(bytes));
  EXPECT_FALSE(VRDElfSymbolTable::fromBytes(nullptr, 0));
  EXPECT_FALSE(VRDElfSymbolTable::fromFile("/nonexistent/file"));
  EXPECT_FALSE(VRDElfSymbolTable::fromFile("/proc/self"));
  for (std::size_t at : {std::size_t{0}, std::size_t{EI_CLASS}, std::size_t{EI_DATA}}) {
    auto broken = bytes;
    broken[at] ^= 0xff;
    EXPECT_FALSE(parse(broken)) << at;
  }
  Elf64_Ehdr header;
  std::memcpy(&header, bytes.data(), sizeof header);
  // The section table cut off: refused.
  EXPECT_FALSE(VRDElfSymbolTable::fromBytes(bytes.data(), header.e_shoff + 10));
  // Every string table pointing past the end: the file is read, its symbols are dropped.
  auto hostile = bytes;
  for (std::uint16_t i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr section;
    std::uint8_t* at = hostile.data() + header.e_shoff + i * header.e_shentsize;
    std::memcpy(&section, at, sizeof section);
    if (section.sh_type == SHT_STRTAB) section.sh_offset = ~std::uint64_t{0} - 4;
    std::memcpy(at, &section, sizeof section);
  }
  const auto table = parse(hostile);
  ASSERT_TRUE(table);
  EXPECT_TRUE(table->symbols().empty());
}

// 10,000 damaged copies of a real library, each read in a buffer of its own exact size (so the sanitizers see any
// read past it): the header, the section table and the rest get random bytes, some copies are cut short.
TEST(ElfFile, SurvivesTenThousandDamagedCopiesOfARealFile) {
  const auto original = fileBytes(CRASHREPORTING_TESTLIB);
  Elf64_Ehdr header;
  std::memcpy(&header, original.data(), sizeof header);
  const std::size_t tableStart = header.e_shoff;
  const std::size_t tableSize = std::size_t{header.e_shnum} * header.e_shentsize;
  const std::uint64_t seed = testSeed(20240611);
  SCOPED_TRACE(seedNote(seed));
  std::mt19937_64 random(seed);
  auto below = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  std::size_t parsed = 0;
  for (int round = 0; round < 10000; ++round) {
    auto bytes = original;
    const int edits = 1 + static_cast<int>(below(8));
    for (int e = 0; e < edits; ++e) {
      std::size_t at;
      switch (below(3)) {
        case 0: at = below(sizeof header); break;
        case 1: at = tableStart + below(tableSize); break;
        default: at = below(bytes.size()); break;
      }
      const std::uint8_t kinds[] = {0x00, 0xff, 0x7f, 0x80, static_cast<std::uint8_t>(random())};
      bytes[at] = kinds[below(5)];
    }
    if (below(8) == 0) bytes.resize(below(bytes.size()));
    std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
    exact.shrink_to_fit();
    if (const auto table = parse(exact)) {
      ++parsed;
      for (const auto& symbol : table->symbols()) table->symbolForAddress(symbol.address + symbol.size / 2);
    }
  }
  EXPECT_GT(parsed, 1000u) << "the damage should leave many copies readable";
}

}  // namespace
}  // namespace crashreporting::test
