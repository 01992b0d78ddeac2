#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "crashreporting/Capture/VRDUnwindCache.h"

namespace crashreporting::test {
namespace {

// A made-up image's `.eh_frame_hdr` and `.eh_frame` in one buffer: CIE A (CFA = rsp + 8) with FDEs for the
// functions at code + 0 (push rbp at offset 0) and code + 0x100, then CIE B (CFA = rsp + 24) with an FDE for
// code + 0x200. Each function is 0x40 bytes long.
class Sections {
 public:
  Sections() {
    bytes_.reserve(512);
    u8({1, 0x1b, 0x03, 0x3b});
    const std::size_t ehFramePointer = size();
    u32(0);
    u32(3);
    const std::size_t table = size();
    for (int i = 0; i < 6; ++i) u32(0);
    patch32(ehFramePointer, static_cast<std::uint32_t>(size() - ehFramePointer));
    ehFrame_ = size();
    const std::size_t cieA = cie(8);
    fde(table, cieA, 0x000, {0x41, 0x0e, 16, 0x86, 2});
    operandOfFirstRow_ = size() - 5;
    fde(table + 8, cieA, 0x100, {});
    const std::size_t cieB = cie(24);
    fde(table + 16, cieB, 0x200, {});
    u32(0);
  }
  std::uint64_t address(std::size_t offset) const { return reinterpret_cast<std::uint64_t>(bytes_.data()) + offset; }
  std::uint64_t header() const { return address(0); }
  std::uint64_t code() const { return address(0) + 0x10000; }
  std::uint64_t ehFrame() const { return address(ehFrame_); }
  std::uint64_t end() const { return address(size()); }
  void setFirstRowCFAOffset(std::uint8_t offset) { bytes_[operandOfFirstRow_] = offset; }

 private:
  std::size_t size() const { return bytes_.size(); }
  void u8(std::initializer_list<int> values) {
    for (const int v : values) bytes_.push_back(static_cast<std::uint8_t>(v));
  }
  void u32(std::uint32_t v) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
    bytes_.insert(bytes_.end(), p, p + 4);
  }
  void patch32(std::size_t offset, std::uint32_t v) { std::memcpy(&bytes_[offset], &v, 4); }
  void pad() {
    while (size() % 4 != 0) u8({0});
  }
  // "zR" with pc-relative signed 4-byte addresses; CFA = rsp + `cfaOffset`, return address at CFA − 8.
  std::size_t cie(int cfaOffset) {
    const std::size_t start = size();
    u32(0);
    u32(0);
    u8({1, 'z', 'R', 0, 1, 0x78, 16, 1, 0x1b, 0x0c, 7, cfaOffset, 0x90, 1});
    pad();
    patch32(start, static_cast<std::uint32_t>(size() - start - 4));
    return start;
  }
  void fde(std::size_t tableEntry, std::size_t cieStart, std::uint64_t function,
           std::initializer_list<int> instructions) {
    const std::size_t start = size();
    u32(0);
    u32(static_cast<std::uint32_t>(size() - cieStart));
    u32(static_cast<std::uint32_t>(code() + function - address(size())));
    u32(0x40);
    u8({0});
    u8(instructions);
    pad();
    patch32(start, static_cast<std::uint32_t>(size() - start - 4));
    patch32(tableEntry, static_cast<std::uint32_t>(code() + function - header()));
    patch32(tableEntry + 4, static_cast<std::uint32_t>(start));
  }

  std::vector<std::uint8_t> bytes_;
  std::size_t ehFrame_ = 0;
  std::size_t operandOfFirstRow_ = 0;
};

struct Found {
  bool found;
  std::int64_t cfaOffset;
  std::uint32_t rbpKind;
  bool operator==(const Found&) const = default;
};

Found find(VRDUnwindCache* cache, const Sections& sections, std::uint64_t pc) {
  VRDUnwindRows scratch;
  const VRDUnwindRows* rows = VRDUnwindCacheFindRows(cache, sections.header(), pc, &scratch);
  EXPECT_EQ(rows->pc, pc);
  return rows->found ? Found{true, rows->rules.cfaOffset, VRDDwarfRuleForRegister(&rows->rules, 6).kind} : Found{false, 0, 0};
}

TEST(UnwindCache, KeptRowsAreThoseOfEachPCAndItsOwnCIE) {
  const Sections sections;
  VRDUnwindCache cache;
  VRDUnwindCacheReset(&cache);
  const std::uint64_t code = sections.code();
  const std::vector<std::pair<std::uint64_t, Found>> expected = {
      {code, {true, 8, VRDDwarfRuleUnchanged}},
      {code + 1, {true, 16, VRDDwarfRuleAtCFAOffset}},  // the same function, the next row
      {code + 0x110, {true, 8, VRDDwarfRuleUnchanged}},
      {code + 0x210, {true, 24, VRDDwarfRuleUnchanged}},  // CIE B, not the CIE A kept before
      {code + 0x50, {false, 0, 0}},                        // between two functions
      {code - 1, {false, 0, 0}},
  };
  // Twice: looked up, then from the cache; the same without a cache.
  for (int round = 0; round < 2; ++round) {
    for (const auto& [pc, found] : expected) {
      EXPECT_EQ(find(&cache, sections, pc), found) << round << " " << pc - code;
      EXPECT_EQ(find(nullptr, sections, pc), found) << pc - code;
    }
  }
}

TEST(UnwindCache, KeepsWhatItFoundUntilReset) {
  Sections sections;
  VRDUnwindCache cache;
  VRDUnwindCacheReset(&cache);
  EXPECT_EQ(find(&cache, sections, sections.code() + 1).cfaOffset, 16);
  sections.setFirstRowCFAOffset(32);
  EXPECT_EQ(find(&cache, sections, sections.code() + 1).cfaOffset, 16) << "kept, not read again";
  EXPECT_EQ(find(&cache, sections, sections.code() + 2).cfaOffset, 32) << "a new PC reads its FDE";
  VRDUnwindCacheReset(&cache);
  EXPECT_EQ(find(&cache, sections, sections.code() + 1).cfaOffset, 32);
}

// Two PCs whose hash picks the same slot are both kept, as a stack of distinct functions needs.
TEST(UnwindCache, KeepsPCsWhoseSlotsCollide) {
  Sections sections;
  VRDUnwindCache cache;
  VRDUnwindCacheReset(&cache);
  std::vector<std::uint64_t> bySlot[VRDUnwindCache::kRows];
  for (std::uint64_t offset = 1; offset < 0x40; ++offset) {
    bySlot[VRDUnwindCacheRowSlot(sections.code() + offset)].push_back(sections.code() + offset);
  }
  const auto* pair = std::find_if(std::begin(bySlot), std::end(bySlot), [](const auto& pcs) { return pcs.size() >= 2; });
  ASSERT_NE(pair, std::end(bySlot)) << "63 PCs in 64 slots share one";
  const std::uint64_t a = (*pair)[0];
  const std::uint64_t b = (*pair)[1];
  EXPECT_EQ(find(&cache, sections, a).cfaOffset, 16);
  EXPECT_EQ(find(&cache, sections, b).cfaOffset, 16);
  sections.setFirstRowCFAOffset(32);
  EXPECT_EQ(find(&cache, sections, a).cfaOffset, 16) << "kept, not evicted by the other";
  EXPECT_EQ(find(&cache, sections, b).cfaOffset, 16);
}

// The image's segment is read without proofs only when its header, read now, leads to the `.eh_frame` the
// image table recorded and the table lies in that segment; the rows are the same either way.
TEST(UnwindCache, TrustsAnImagesSegmentOnlyWhileItsHeaderLeadsWhereTheTableRecorded) {
  const Sections sections;
  const std::uint64_t start = sections.header();
  const std::uint64_t end = sections.end();
  const std::uint64_t pc = sections.code() + 1;
  struct Case {
    VRDUnwindImage image;
    bool trusted;
  };
  const Case cases[] = {
      {{sections.header(), sections.ehFrame(), start, end}, true},
      {{sections.header(), sections.ehFrame() + 8, start, end}, false},  // another image in its place
      {{sections.header(), 0, start, end}, false},                       // recorded without one
      {{sections.header(), sections.ehFrame(), start, start + 16}, false},  // the table runs past the segment
      {{sections.header(), sections.ehFrame(), start + 4, end}, false},     // the header lies before it
      {{sections.header(), sections.ehFrame(), 0, 0}, false},               // no segment holds both
  };
  for (const Case& c : cases) {
    VRDUnwindCache cache;
    VRDUnwindCacheReset(&cache);
    VRDUnwindRows scratch;
    const VRDUnwindRows* rows = VRDUnwindCacheFindRowsInImage(&cache, c.image, pc, &scratch);
    ASSERT_TRUE(rows->found);
    EXPECT_EQ(rows->rules.cfaOffset, 16);
    EXPECT_EQ(cache.pages.trustedCount, c.trusted ? 1u : 0u) << c.image.ehFrame - sections.ehFrame();
    if (c.trusted) {
      EXPECT_EQ(cache.pages.trustedStart[0], start);
      EXPECT_EQ(cache.pages.trustedEnd[0], end);
    }
  }
}

}  // namespace
}  // namespace crashreporting::test
