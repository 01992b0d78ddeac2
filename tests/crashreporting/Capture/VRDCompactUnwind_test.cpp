#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "crashreporting/Capture/VRDCompactUnwind.h"

namespace crashreporting::test {
namespace {

// A made-up unwind-info section: header, two common encodings, a first-level index of one page plus the
// sentinel, and one second-level page. Functions live at offsets 0x1000, 0x1040 and 0x1100 of a fictitious
// image ending at 0x1200.
constexpr std::uint64_t kLoad = 0x10000000;
constexpr std::uint32_t kBPFrame = 0x01000000;
constexpr std::uint32_t kFrameless = 0x02000000;

class CompactUnwind : public ::testing::Test {
 protected:
  void put32(std::size_t at, std::uint32_t v) { std::memcpy(bytes_.data() + at, &v, 4); }
  void put16(std::size_t at, std::uint16_t v) { std::memcpy(bytes_.data() + at, &v, 2); }

  void build(std::uint32_t pageKind, std::uint32_t pageEncoding) {
    bytes_.assign(256, 0);
    const std::uint32_t header[7] = {1, 28, 2, 0, 0, 36, 2};
    std::memcpy(bytes_.data(), header, sizeof header);
    put32(28, kBPFrame);                                // common encoding 0
    put32(32, kFrameless | (3 << 16));                  // common encoding 1: 24-byte frame, no saved registers
    put32(36, 0x1000), put32(40, 64), put32(44, 0);     // first level
    put32(48, 0x1200), put32(52, 0), put32(56, 0);      // sentinel
    put32(64, pageKind);
    put16(68, 12), put16(70, 3), put16(72, 24), put16(74, 1);
    put32(76, 0x000000 | (0u << 24));                   // 0x1000: common encoding 0
    put32(80, 0x000040 | (1u << 24));                   // 0x1040: common encoding 1
    put32(84, 0x000100 | (2u << 24));                   // 0x1100: the page's own encoding
    put32(88, pageEncoding);
  }
  std::uint64_t info() const { return reinterpret_cast<std::uint64_t>(bytes_.data()); }
  bool lookup(std::uint64_t pc, VRDCompactUnwindResult* result) {
    VRDCompactUnwindContext context;
    EXPECT_TRUE(VRDCompactUnwindInit(&context, info(), 0, kLoad));
    return VRDCompactUnwindLookup(&context, pc, result);
  }
  void prepare(VRDUnwindContext* unwind, std::uint64_t pc, std::uint64_t sp, std::uint64_t fp) {
    VRDThreadState state{};
    state.registers[VRDRegisterRIP] = pc;
    state.registers[VRDRegisterRSP] = sp;
    state.registers[VRDRegisterRBP] = fp;
    ASSERT_TRUE(VRDUnwindInit(unwind, &state));
  }

  std::vector<std::uint8_t> bytes_;
};

TEST_F(CompactUnwind, CompressedPageFindsEveryFunctionIncludingTheLast) {
  build(3, kFrameless | (5 << 16));
  VRDCompactUnwindResult r{};
  ASSERT_TRUE(lookup(kLoad + 0x1000, &r));
  EXPECT_EQ(r.encoding, kBPFrame);
  EXPECT_EQ(r.functionEnd, kLoad + 0x1040);
  ASSERT_TRUE(lookup(kLoad + 0x10ff, &r));
  EXPECT_EQ(r.encoding, kFrameless | (3u << 16));
  EXPECT_EQ(r.functionStart, kLoad + 0x1040);
  EXPECT_EQ(r.functionEnd, kLoad + 0x1100);
  // The page's last entry ends at the next first-level function offset.
  ASSERT_TRUE(lookup(kLoad + 0x11ff, &r));
  EXPECT_EQ(r.encoding, kFrameless | (5u << 16));
  EXPECT_EQ(r.functionStart, kLoad + 0x1100);
  EXPECT_EQ(r.functionEnd, kLoad + 0x1200);
  EXPECT_FALSE(lookup(kLoad + 0x1200, &r));
  EXPECT_FALSE(lookup(kLoad + 0xfff, &r));
}

TEST_F(CompactUnwind, RejectsBadHeadersAndEmptyEncodings) {
  build(3, 0);
  VRDCompactUnwindResult r{};
  EXPECT_FALSE(lookup(kLoad + 0x1100, &r));  // encoding 0: no unwind info
  VRDCompactUnwindContext context;
  put32(0, 2);
  EXPECT_FALSE(VRDCompactUnwindInit(&context, info(), 0, kLoad));
  EXPECT_FALSE(VRDCompactUnwindInit(&context, 16, 0, kLoad));
  EXPECT_FALSE(VRDCompactUnwindInit(&context, info(), 0, 0));
}

TEST_F(CompactUnwind, RegularPageLeavesTheFrameToTheFramePointer) {
  build(2, kBPFrame);
  std::uint64_t stack[4] = {0, 0, 0, 0x7000};
  const std::uint64_t fp = reinterpret_cast<std::uint64_t>(&stack[2]);
  stack[2] = fp + 64;
  VRDUnwindContext unwind;
  prepare(&unwind, kLoad + 0x1010, reinterpret_cast<std::uint64_t>(stack), fp);
  VRDCompactUnwindContext context;
  ASSERT_TRUE(VRDCompactUnwindInit(&context, info(), 0, kLoad));
  EXPECT_FALSE(VRDCompactUnwindLookupAndCompute(&context, &unwind));
  EXPECT_EQ(VRDUnwindGetPC(&unwind), kLoad + 0x1010);  // untouched
  ASSERT_TRUE(VRDCompactUnwindBPFrame(&unwind));
  EXPECT_EQ(VRDUnwindGetPC(&unwind), 0x7000u);
  EXPECT_EQ(VRDUnwindGetStackPointer(&unwind), fp + 16);
}

TEST_F(CompactUnwind, RBPFrameAndFramelessEncodingsStepToTheCaller) {
  build(3, kFrameless | (4u << 16) | (2u << 10) | 25u);  // 32 bytes, saves {rbp, rbx}
  // RBP frame.
  std::uint64_t frame[2] = {0x5000, 0x6000};
  VRDUnwindContext unwind;
  prepare(&unwind, kLoad + 0x1008, 0x9000, reinterpret_cast<std::uint64_t>(frame));
  VRDCompactUnwindContext context;
  ASSERT_TRUE(VRDCompactUnwindInit(&context, info(), 0, kLoad));
  ASSERT_TRUE(VRDCompactUnwindLookupAndCompute(&context, &unwind));
  EXPECT_EQ(VRDUnwindGetPC(&unwind), 0x6000u);
  EXPECT_EQ(unwind.registers.registers[VRDRegisterRBP], 0x5000u);

  // Frameless, 24 bytes: the return address is the third word.
  std::uint64_t stack[4] = {1, 2, 0x7100, 3};
  const std::uint64_t sp = reinterpret_cast<std::uint64_t>(stack);
  prepare(&unwind, kLoad + 0x1050, sp, 0x4444);
  ASSERT_TRUE(VRDCompactUnwindLookupAndCompute(&context, &unwind));
  EXPECT_EQ(VRDUnwindGetPC(&unwind), 0x7100u);
  EXPECT_EQ(VRDUnwindGetStackPointer(&unwind), sp + 24);
  EXPECT_EQ(unwind.registers.registers[VRDRegisterRBP], 0x4444u);

  // Frameless, 32 bytes, rbp then rbx saved below the return address.
  std::uint64_t saved[4] = {9, 0xbbbb, 0xaaaa, 0x7200};
  const std::uint64_t sp2 = reinterpret_cast<std::uint64_t>(saved);
  prepare(&unwind, kLoad + 0x1100, sp2, 0x4444);
  ASSERT_TRUE(VRDCompactUnwindLookupAndCompute(&context, &unwind));
  EXPECT_EQ(VRDUnwindGetPC(&unwind), 0x7200u);
  EXPECT_EQ(VRDUnwindGetStackPointer(&unwind), sp2 + 32);
  EXPECT_EQ(unwind.registers.registers[VRDRegisterRBP], 0xbbbbu);
}

TEST_F(CompactUnwind, FramelessIndirectReadsTheStackSizeFromTheCode) {
  // The function's `sub rsp, imm32` immediate sits 3 bytes into it; 16 bytes plus 8 adjust = 24.
  std::uint8_t code[16] = {0x48, 0x81, 0xec, 16, 0, 0, 0};
  const std::uint64_t start = reinterpret_cast<std::uint64_t>(code);
  std::uint64_t stack[3] = {1, 2, 0x7300};
  VRDUnwindContext unwind;
  prepare(&unwind, start + 8, reinterpret_cast<std::uint64_t>(stack), 0);
  VRDCompactUnwindContext context{};
  const VRDCompactUnwindResult r{0x03000000u | (3u << 16) | (1u << 13), start, start + 16};
  ASSERT_TRUE(VRDCompactUnwindComputeRegisters(&context, &r, &unwind));
  EXPECT_EQ(VRDUnwindGetPC(&unwind), 0x7300u);
  const VRDCompactUnwindResult bad{0x05000000u, start, start + 16};
  EXPECT_FALSE(VRDCompactUnwindComputeRegisters(&context, &bad, &unwind));
}

// An eh_frame section of one CIE ("zR", absolute 8-byte addresses; CFA = rsp + 8, return address at CFA − 8)
// and one FDE at offset 24 for the page's third function: after its `push rbp` at offset 0, CFA = rsp + 16 and
// rbp saved at CFA − 16.
std::vector<std::uint8_t> ehFrameForThirdFunction() {
  std::vector<std::uint8_t> b = {20, 0, 0, 0, 0, 0, 0, 0, 1, 'z', 'R', 0, 1, 0x78, 16, 1, 0x00,
                                 0x0c, 7, 8, 0x90, 1, 0, 0};
  const std::uint8_t fde[] = {28, 0, 0, 0, 28, 0, 0, 0};
  b.insert(b.end(), std::begin(fde), std::end(fde));
  const std::uint64_t range[2] = {kLoad + 0x1100, 0x100};
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(range);
  b.insert(b.end(), bytes, bytes + sizeof range);
  const std::uint8_t instructions[] = {0, 0x41, 0x0e, 16, 0x86, 2, 0, 0};  // no augmentation data, then the rows
  b.insert(b.end(), std::begin(instructions), std::end(instructions));
  b.insert(b.end(), {0, 0, 0, 0});  // the section's terminator, at offset 56
  return b;
}

TEST_F(CompactUnwind, DwarfEncodingRunsTheFDEAtItsOffsetInTheEhFrame) {
  constexpr std::uint32_t kDwarf = 0x04000000;
  const std::vector<std::uint8_t> ehFrame = ehFrameForThirdFunction();
  const auto ehFrameAddress = reinterpret_cast<std::uint64_t>(ehFrame.data());
  build(3, kDwarf | 24);
  std::uint64_t stack[3] = {0xbbbb, 0x7400, 0};
  const auto sp = reinterpret_cast<std::uint64_t>(stack);
  VRDUnwindContext unwind;
  prepare(&unwind, kLoad + 0x1110, sp, 0x4444);
  VRDCompactUnwindContext context;
  ASSERT_TRUE(VRDCompactUnwindInit(&context, info(), ehFrameAddress, kLoad));
  ASSERT_TRUE(VRDCompactUnwindLookupAndCompute(&context, &unwind));
  EXPECT_EQ(VRDUnwindGetPC(&unwind), 0x7400u);
  EXPECT_EQ(VRDUnwindGetStackPointer(&unwind), sp + 16);
  EXPECT_EQ(unwind.registers.registers[VRDRegisterRBP], 0xbbbbu);

  // At the function's first byte the push has not happened: CFA = rsp + 8 and rbp is the callee's.
  std::uint64_t entry[2] = {0x7500, 0};
  prepare(&unwind, kLoad + 0x1100, reinterpret_cast<std::uint64_t>(entry), 0x4444);
  ASSERT_TRUE(VRDCompactUnwindLookupAndCompute(&context, &unwind));
  EXPECT_EQ(VRDUnwindGetPC(&unwind), 0x7500u);
  EXPECT_EQ(unwind.registers.registers[VRDRegisterRBP], 0x4444u);

  // An offset of 0, one at the terminator, or no eh_frame at all leave the frame untouched.
  for (const std::uint32_t encoding : {kDwarf, kDwarf | 56}) {
    build(3, encoding);
    ASSERT_TRUE(VRDCompactUnwindInit(&context, info(), ehFrameAddress, kLoad));
    prepare(&unwind, kLoad + 0x1110, sp, 0x4444);
    EXPECT_FALSE(VRDCompactUnwindLookupAndCompute(&context, &unwind)) << std::hex << encoding;
    EXPECT_EQ(VRDUnwindGetPC(&unwind), kLoad + 0x1110);
  }
  build(3, kDwarf | 24);
  ASSERT_TRUE(VRDCompactUnwindInit(&context, info(), 0, kLoad));
  EXPECT_FALSE(VRDCompactUnwindLookupAndCompute(&context, &unwind));
  EXPECT_EQ(VRDUnwindGetPC(&unwind), kLoad + 0x1110);
}

TEST_F(CompactUnwind, PermutationDecodesForEveryRegisterCount) {
  std::uint32_t regs[6] = {};
  EXPECT_TRUE(VRDCompactUnwindDecodeRegisters(0, 0, regs));
  ASSERT_TRUE(VRDCompactUnwindDecodeRegisters(1, 5, regs));
  EXPECT_EQ(regs[0], 6u);
  ASSERT_TRUE(VRDCompactUnwindDecodeRegisters(2, 1 * 5 + 3, regs));  // rbx taken, then the 4th of the rest
  EXPECT_EQ(regs[0], 2u);
  EXPECT_EQ(regs[1], 5u);
  ASSERT_TRUE(VRDCompactUnwindDecodeRegisters(3, 0, regs));
  EXPECT_EQ((std::vector<std::uint32_t>{regs, regs + 3}), (std::vector<std::uint32_t>{1, 2, 3}));
  ASSERT_TRUE(VRDCompactUnwindDecodeRegisters(4, 5 * 60 + 4 * 12 + 3 * 3 + 2, regs));
  EXPECT_EQ((std::vector<std::uint32_t>{regs, regs + 4}), (std::vector<std::uint32_t>{6, 5, 4, 3}));
  ASSERT_TRUE(VRDCompactUnwindDecodeRegisters(5, 119, regs));  // 0 then the last of each remaining set
  EXPECT_EQ((std::vector<std::uint32_t>{regs, regs + 5}), (std::vector<std::uint32_t>{1, 6, 5, 4, 3}));
  ASSERT_TRUE(VRDCompactUnwindDecodeRegisters(6, 719, regs));
  EXPECT_EQ((std::vector<std::uint32_t>{regs, regs + 6}), (std::vector<std::uint32_t>{6, 5, 4, 3, 2, 1}));
  // Every valid permutation of six names each register once.
  for (std::uint32_t p = 0; p < 720; ++p) {
    ASSERT_TRUE(VRDCompactUnwindDecodeRegisters(6, p, regs));
    std::uint32_t seen = 0;
    for (std::uint32_t r : regs) seen |= 1u << r;
    EXPECT_EQ(seen, 0x7Eu) << p;
  }
  EXPECT_FALSE(VRDCompactUnwindDecodeRegisters(6, 720, regs));
  EXPECT_FALSE(VRDCompactUnwindDecodeRegisters(7, 0, regs));
}

}  // namespace
}  // namespace crashreporting::test
