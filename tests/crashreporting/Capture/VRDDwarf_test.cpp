#include <gtest/gtest.h>

#include <optional>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "crashreporting/Capture/VRDDwarf.h"
#include "crashreporting/Capture/VRDEhFrameIndex.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

constexpr std::uint64_t kReturnAddress = 0x400999;

// Call-frame records assembled byte by byte in a buffer, as an assembler lays them out in `.eh_frame`.
class Bytes {
 public:
  Bytes() { bytes_.reserve(4096); }
  std::uint64_t here() const { return address(bytes_.size()); }
  std::uint64_t address(std::size_t offset) const { return reinterpret_cast<std::uint64_t>(bytes_.data()) + offset; }
  std::size_t size() const { return bytes_.size(); }
  void u8(std::initializer_list<int> values) {
    for (const int v : values) bytes_.push_back(static_cast<std::uint8_t>(v));
  }
  void u32(std::uint32_t v) { raw(&v, 4); }
  void u64(std::uint64_t v) { raw(&v, 8); }
  void raw(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
  }
  void pcrel32(std::uint64_t target) { u32(static_cast<std::uint32_t>(target - here())); }
  void patch32(std::size_t offset, std::uint32_t v) { std::memcpy(&bytes_[offset], &v, 4); }

 private:
  std::vector<std::uint8_t> bytes_;
};

// A CIE "zR" (pc-relative signed 4-byte pointers) whose initial rules are CFA = rsp + 8, return address at
// CFA − 8; then an FDE for [pcBegin, pcBegin + range) with `instructions`. Returns the FDE's offset.
// The made-up function lies near the records, as code lies near its `.eh_frame`.
std::uint64_t codeNear(const Bytes& b) { return b.address(0) + 0x10000; }

std::size_t cieAndFde(Bytes& b, std::uint64_t pcBegin, std::uint32_t range, std::initializer_list<int> instructions) {
  b.u32(0);  // length, patched
  b.u32(0);  // CIE id
  b.u8({1, 'z', 'R', 0, 1, 0x78, 16, 1, 0x1b, 0x0c, 7, 8, 0x90, 1});
  while (b.size() % 4 != 0) b.u8({0});
  b.patch32(0, static_cast<std::uint32_t>(b.size() - 4));
  const std::size_t fde = b.size();
  b.u32(0);
  b.u32(static_cast<std::uint32_t>(b.size()));  // back to the CIE at 0
  b.pcrel32(pcBegin);
  b.u32(range);
  b.u8({0});  // augmentation data length
  b.u8(instructions);
  while (b.size() % 4 != 0) b.u8({0});
  b.patch32(fde, static_cast<std::uint32_t>(b.size() - fde - 4));
  return fde;
}

// A CIE and an FDE with `instructions` over 0x40 bytes of code near `b`, parsed into `record`: the code's start,
// absent when the FDE does not parse.
std::optional<std::uint64_t> parsedFde(Bytes& b, std::initializer_list<int> instructions, VRDDwarfFDERecord& record) {
  const std::uint64_t code = codeNear(b);
  const std::size_t fde = cieAndFde(b, code, 0x40, instructions);
  if (!VRDDwarfParseFDERecord(&record, b.address(fde), nullptr)) return std::nullopt;
  return code;
}


TEST(DwarfRecords, ParsesAzRCieWithPcRelativeFdeAddresses) {
  Bytes b;
  const std::uint64_t kCode = codeNear(b);
  const std::size_t fde = cieAndFde(b, kCode, 0x40, {0x0e, 16});
  VRDDwarfFDERecord record;
  ASSERT_TRUE(VRDDwarfParseFDERecord(&record, b.address(fde), nullptr));
  EXPECT_EQ(record.pcBegin, kCode);
  EXPECT_EQ(record.pcRange, 0x40u);
  EXPECT_EQ(record.cie.codeAlignment, 1u);
  EXPECT_EQ(record.cie.dataAlignment, -8);
  EXPECT_EQ(record.cie.returnAddressRegister, 16u);
  EXPECT_EQ(record.cie.fdeEncoding, 0x1b);
  EXPECT_EQ(record.instructionsEnd - record.instructions, 3u);  // def_cfa_offset 16 and a padding nop
}

TEST(DwarfRecords, ParsesAzPLRCieWithAnIndirectPersonality) {
  Bytes b;
  const std::uint64_t personality = 0x12345678;
  b.u64(personality);  // the word the indirect pointer points at
  const std::size_t cie = b.size();
  b.u32(0);
  b.u32(0);
  b.u8({1, 'z', 'P', 'L', 'R', 0, 1, 0x78, 16, 7, 0x9b});
  b.pcrel32(b.address(0));
  b.u8({0x1b, 0x1b, 0x0c, 7, 8});
  b.patch32(cie, static_cast<std::uint32_t>(b.size() - cie - 4));
  VRDDwarfCIERecord record;
  ASSERT_TRUE(VRDDwarfParseCIERecord(&record, b.address(cie), nullptr));
  EXPECT_EQ(record.personality, personality);
  EXPECT_EQ(record.lsdaEncoding, 0x1b);
  EXPECT_EQ(record.fdeEncoding, 0x1b);
}

// The unwinder never calls a personality: its pointer's slot (the image's writable data) is not read, so a CIE
// whose slot cannot be read still unwinds, and no page is proved for it.
TEST(DwarfRecords, TheUnwindersParseLeavesAnIndirectPersonalityUnread) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* slotPage = mmap(nullptr, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(slotPage, MAP_FAILED);
  const auto slot = reinterpret_cast<std::uint64_t>(slotPage);
  Bytes b;
  const std::uint64_t kCode = codeNear(b);
  b.u32(0);
  b.u32(0);
  b.u8({1, 'z', 'P', 'R', 0, 1, 0x78, 16, 10, 0x80});  // personality: absolute 8 bytes, indirect
  b.u64(slot);
  b.u8({0x1b, 0x0c, 7, 8, 0x90, 1});
  while (b.size() % 4 != 0) b.u8({0});
  b.patch32(0, static_cast<std::uint32_t>(b.size() - 4));
  const std::size_t fde = b.size();
  b.u32(0);
  b.u32(static_cast<std::uint32_t>(b.size()));
  b.pcrel32(kCode);
  b.u32(0x40);
  b.u8({0, 0x0e, 16});
  while (b.size() % 4 != 0) b.u8({0});
  b.patch32(fde, static_cast<std::uint32_t>(b.size() - fde - 4));

  VRDReadablePages pages;
  VRDReadablePagesReset(&pages);
  VRDDwarfCIECache cies;
  VRDDwarfCIECacheReset(&cies);
  VRDDwarfFDERecord record;
  const VRDDwarfRegisterRules* initial = nullptr;
  ASSERT_TRUE(VRDDwarfParseFDERecordCachingCIE(&record, b.address(fde), &cies, &initial, &pages));
  EXPECT_EQ(record.pcBegin, kCode);
  EXPECT_EQ(record.cie.personalityEncoding, 0x80);
  EXPECT_EQ(record.cie.personality, 0u);
  EXPECT_EQ(record.cie.fdeEncoding, 0x1b);
  ASSERT_NE(initial, nullptr);
  EXPECT_EQ(initial->cfaOffset, 8);
  // The plain parse still follows the pointer, and fails on an unreadable slot.
  EXPECT_FALSE(VRDDwarfParseCIERecord(&record.cie, b.address(0), &pages));
  munmap(slotPage, page);
}

TEST(DwarfRecords, RefusesBrokenRecords) {
  Bytes b;
  const std::uint64_t kCode = codeNear(b);
  const std::size_t fde = cieAndFde(b, kCode, 0x40, {});
  VRDDwarfFDERecord record;
  Bytes zero;
  zero.u32(0);
  zero.u32(0);
  EXPECT_FALSE(VRDDwarfParseFDERecord(&record, zero.address(0), nullptr));  // zero length
  Bytes cieAsFde;
  cieAsFde.u32(4);
  cieAsFde.u32(0);  // a CIE pointer of 0
  EXPECT_FALSE(VRDDwarfParseFDERecord(&record, cieAsFde.address(0), nullptr));
  EXPECT_TRUE(VRDDwarfParseFDERecord(&record, b.address(fde), nullptr));
  Bytes badAugmentation;
  badAugmentation.u32(12);
  badAugmentation.u32(0);
  badAugmentation.u8({1, 'x', 0, 1, 0x78, 16, 0, 0});
  VRDDwarfCIERecord cie;
  EXPECT_FALSE(VRDDwarfParseCIERecord(&cie, badAugmentation.address(0), nullptr));
  Bytes pastEnd;  // a length that reaches past the record's bytes is only read as far as it is mapped
  pastEnd.u32(0xFFFFFFF0u);
  pastEnd.u32(0);
  EXPECT_FALSE(VRDDwarfParseCIERecord(&cie, pastEnd.address(0), nullptr));
}

// Registers for a made-up stack: stack[0] the saved rbp, stack[1] the return address.
struct Frame {
  alignas(16) std::uint64_t stack[8] = {0x7000, kReturnAddress, 0, 0, 0, 0, 0, 0};
  VRDThreadState state{};
  Frame(std::uint64_t pc, std::size_t spIndex) {
    state.registers[VRDRegisterRIP] = pc;
    state.registers[VRDRegisterRSP] = reinterpret_cast<std::uint64_t>(&stack[spIndex]);
    state.registers[VRDRegisterRBP] = 0x5000;
  }
  std::uint64_t slot(std::size_t i) const { return reinterpret_cast<std::uint64_t>(&stack[i]); }
};

// push rbp (1 byte) then mov rbp, rsp (3 bytes): advance 1; CFA offset 16; rbp at CFA − 16; advance 3; CFA = rbp + 16.
std::initializer_list<int> kPrologue = {0x41, 0x0e, 16, 0x86, 2, 0x43, 0x0d, 6};

TEST(DwarfRules, APCAtTheStartOfARowGetsThatRow) {
  Bytes b;
  const std::uint64_t kCode = codeNear(b);
  const std::size_t fde = cieAndFde(b, kCode, 0x40, kPrologue);
  VRDDwarfFDERecord record;
  ASSERT_TRUE(VRDDwarfParseFDERecord(&record, b.address(fde), nullptr));
  VRDDwarfRegisterRules rules;
  ASSERT_TRUE(VRDDwarfRulesForPC(&record, kCode, &rules, nullptr));
  EXPECT_EQ(rules.cfaOffset, 8);
  ASSERT_TRUE(VRDDwarfRulesForPC(&record, kCode + 1, &rules, nullptr));  // right after push rbp
  EXPECT_EQ(rules.cfaRegister, 7u);
  EXPECT_EQ(rules.cfaOffset, 16);
  EXPECT_EQ(VRDDwarfRuleForRegister(&rules, 6).kind, VRDDwarfRuleAtCFAOffset);
  ASSERT_TRUE(VRDDwarfRulesForPC(&record, kCode + 3, &rules, nullptr));  // before the advance to 4
  EXPECT_EQ(rules.cfaRegister, 7u);
  ASSERT_TRUE(VRDDwarfRulesForPC(&record, kCode + 4, &rules, nullptr));
  EXPECT_EQ(rules.cfaRegister, 6u);

  // A stack overflow faulting right after push rbp: CFA = rsp + 16, so the caller is the return address.
  Frame frame(kCode + 1, 0);
  ASSERT_EQ(VRDDwarfUnwindComputeRegisters(&record, kCode + 1, &frame.state, nullptr), VRDDwarfStep::Unwound);
  EXPECT_EQ(VRDThreadContextGetPC(&frame.state), kReturnAddress);
  EXPECT_EQ(VRDThreadContextGetStackPointer(&frame.state), frame.slot(2));
  EXPECT_EQ(VRDThreadContextGetFramePointer(&frame.state), 0x7000u);
}

TEST(DwarfRules, RememberAndRestoreStateAndRestoreFromTheCie) {
  Bytes b;
  const std::uint64_t kCode = codeNear(b);
  // def_cfa_offset 16; remember; def_cfa_offset 48; offset r3; advance 2 → restore_state; restore r16 (its CIE
  // rule); advance 2 → def_cfa_sf rsp, -3 × -8 = 24; offset_extended_sf rbx 2 × -8; GNU_args_size 8.
  const std::size_t fde = cieAndFde(
      b, kCode, 0x40,
      {0x0e, 16, 0x0a, 0x0e, 48, 0x83, 3, 0x90, 4, 0x42, 0x0b, 0xd0, 0x42, 0x12, 7, 0x7d, 0x11, 3, 0x02, 0x2e, 8});
  VRDDwarfFDERecord record;
  ASSERT_TRUE(VRDDwarfParseFDERecord(&record, b.address(fde), nullptr));
  VRDDwarfRegisterRules rules;
  ASSERT_TRUE(VRDDwarfRulesForPC(&record, kCode + 1, &rules, nullptr));
  EXPECT_EQ(rules.cfaOffset, 48);
  EXPECT_EQ(VRDDwarfRuleForRegister(&rules, 3).kind, VRDDwarfRuleAtCFAOffset);
  EXPECT_EQ(VRDDwarfRuleForRegister(&rules, 16).value, static_cast<std::uint64_t>(-32));
  ASSERT_TRUE(VRDDwarfRulesForPC(&record, kCode + 2, &rules, nullptr));
  EXPECT_EQ(rules.cfaOffset, 16);
  EXPECT_EQ(VRDDwarfRuleForRegister(&rules, 3).kind, VRDDwarfRuleUnchanged);
  EXPECT_EQ(VRDDwarfRuleForRegister(&rules, 16).value, static_cast<std::uint64_t>(-8));
  ASSERT_TRUE(VRDDwarfRulesForPC(&record, kCode + 4, &rules, nullptr));
  EXPECT_EQ(rules.cfaOffset, 24);
  EXPECT_EQ(VRDDwarfRuleForRegister(&rules, 3).value, static_cast<std::uint64_t>(-16));
}

TEST(DwarfRules, RefusesUnbalancedStateAndUnknownInstructions) {
  for (const auto& instructions : {std::initializer_list<int>{0x0b}, {0x14, 1, 1}, {0x20}, {0x0c, 40, 8}}) {
    Bytes b;
    VRDDwarfFDERecord record;
    const auto code = parsedFde(b, instructions, record);
    ASSERT_TRUE(code);
    const std::uint64_t kCode = *code;
    VRDDwarfRegisterRules rules;
    EXPECT_FALSE(VRDDwarfRulesForPC(&record, kCode + 1, &rules, nullptr));
  }
}

std::uint64_t evaluate(std::initializer_list<int> ops, bool* ok, const VRDThreadState* state = nullptr) {
  Bytes b;
  b.u8({static_cast<int>(ops.size())});
  b.u8(ops);
  VRDThreadState empty{};
  std::uint64_t result = 0;
  *ok = VRDDwarfEvalulateExpression(b.address(0), state ? state : &empty, 100, &result, nullptr);
  return result;
}

TEST(DwarfExpressions, RunTheStackMachine) {
  bool ok = false;
  EXPECT_EQ(evaluate({0x35, 0x37}, &ok), 7u);  // two values left: the top one
  EXPECT_TRUE(ok);
  EXPECT_EQ(evaluate({0x35, 0x22, 0x23, 10}, &ok), 115u);  // 100 + 5 + 10
  EXPECT_EQ(evaluate({0x12, 0x2e}, &ok), 0u);              // dup, ne
  EXPECT_EQ(evaluate({0x3f, 0x1a}, &ok), 100u & 15u);
  EXPECT_EQ(evaluate({0x31, 0x16}, &ok), 100u);  // swap
  EXPECT_TRUE(ok);
  Frame frame(0x400000, 0);
  EXPECT_EQ(evaluate({0x77, 8, 0x06}, &ok, &frame.state), kReturnAddress);  // breg7 (rsp) + 8, deref
  EXPECT_TRUE(ok);
  EXPECT_EQ(evaluate({0x77, 8, 0x94, 2}, &ok, &frame.state), (kReturnAddress) & 0xFFFF);
  EXPECT_TRUE(ok);
  evaluate({0x22, 0x22}, &ok);  // popping an empty stack
  EXPECT_FALSE(ok);
  evaluate({0x30, 0x06}, &ok);  // deref of address 0
  EXPECT_FALSE(ok);
  evaluate({0x96}, &ok);  // not supported
  EXPECT_FALSE(ok);
}

// Each from the initial value 100: the second entry is the left operand; division, the arithmetic shift and
// comparisons are signed. No result: a division by zero, a pop from an empty stack.
TEST(DwarfExpressions, ArithmeticLogicShiftsAndComparisons) {
  constexpr std::uint64_t kMinus100 = 0 - std::uint64_t{100};
  const struct {
    std::initializer_list<int> ops;
    std::optional<std::uint64_t> result;
  } cases[] = {
      {{0x1f}, kMinus100},                                              // neg
      {{0x1f, 0x19}, 100},                                              // abs
      {{0x20}, ~std::uint64_t{100}},                                    // not
      {{0x33, 0x21}, 103},                                              // or
      {{0x3f, 0x27}, 100 ^ 15},                                         // xor
      {{0x33, 0x1c}, 97},                                               // minus: 100 − 3
      {{0x33, 0x1e}, 300},                                              // mul
      {{0x33, 0x1b}, 33},                                               // div
      {{0x1f, 0x33, 0x1b}, 0 - std::uint64_t{33}},                      // −100 / 3
      {{0x33, 0x1d}, 1},                                                // mod
      {{0x33, 0x24}, 800},                                              // shl
      {{0x1f, 0x32, 0x25}, kMinus100 >> 2},                             // shr: logical
      {{0x1f, 0x32, 0x26}, 0 - std::uint64_t{25}},                      // shra
      {{0x40, 0x12, 0x22, 0x12, 0x22, 0x24}, 0},                        // shl by 64
      {{0x1f, 0x40, 0x12, 0x22, 0x12, 0x22, 0x26}, ~std::uint64_t{0}},  // shra by 64
      {{0x12, 0x29}, 1},                                                // eq
      {{0x3b, 0x2a}, 1},                                                // ge: 100 ≥ 11
      {{0x1f, 0x30, 0x2a}, 0},                                          // −100 ≥ 0
      {{0x12, 0x2b}, 0},                                                // gt
      {{0x12, 0x2c}, 1},                                                // le
      {{0x3b, 0x2d}, 0},                                                // lt
      {{0x30, 0x1b}, std::nullopt},                                     // div by 0
      {{0x30, 0x1d}, std::nullopt},                                     // mod by 0
      {{0x2a}, std::nullopt},                                           // ge with one entry
  };
  for (const auto& c : cases) {
    bool ok = false;
    const std::uint64_t result = evaluate(c.ops, &ok);
    EXPECT_EQ(ok ? std::optional(result) : std::nullopt, c.result) << ::testing::PrintToString(std::vector(c.ops));
  }
}

TEST(DwarfExpressions, TheStackHoldsAHundredEntries) {
  for (const int pushes : {99, 100}) {
    Bytes b;
    b.u8({pushes});  // plus the initial value: 100 or 101 pushes
    for (int i = 0; i < pushes; ++i) b.u8({0x31});
    std::uint64_t result = 0;
    VRDThreadState state{};
    EXPECT_EQ(VRDDwarfEvalulateExpression(b.address(0), &state, 0, &result, nullptr), pushes == 99) << pushes;
  }
}

// The internal log says why a record, an instruction, an expression or a rule set failed.
class DwarfFailureLog : public ContextTest {
 protected:
  void SetUp() override { ASSERT_TRUE(VRDContextInitialize(&data_)); }
  // What the log gained since the last call.
  std::string newLines() {
    const std::string log = readText(temp_.path() / "sdk.log");
    std::string added = log.substr(std::min(seen_, log.size()));
    seen_ = log.size();
    return added;
  }
  std::size_t seen_ = 0;
};

TEST_F(DwarfFailureLog, InvalidRegisterOperandsNameTheirInstruction) {
  const struct {
    std::initializer_list<int> instructions;
    const char* text;
  } cases[] = {
      {{0x80 + 20, 1}, "Error: Found an invalid DW_CFA_offset register number"},
      {{0x08, 20}, "Error: Found an invalid DW_CFA_same_value register number"},
      {{0x09, 20, 1}, "Error: Found an invalid DW_CFA_register number"},
      {{0x09, 1, 20}, "Error: Found an invalid DW_CFA_register value"},
      {{0x0c, 40, 8}, "Error: Found an invalid DW_CFA_def_cfa register number"},
      {{0x0d, 20}, "Error: Found an invalid DW_CFA_def_cfa_register register number"},
      {{0x10, 20, 1, 0x30}, "Error: Found an invalid DW_CFA_expression register number"},
      {{0x16, 20, 1, 0x30}, "Error: Found an invalid DW_CFA_val_expression register number"},
  };
  for (const auto& c : cases) {
    Bytes b;
    VRDDwarfFDERecord record;
    const auto code = parsedFde(b, c.instructions, record);
    ASSERT_TRUE(code);
    const std::uint64_t kCode = *code;
    VRDDwarfRegisterRules rules;
    newLines();
    EXPECT_FALSE(VRDDwarfRulesForPC(&record, kCode + 1, &rules, nullptr)) << c.text;
    const std::string log = newLines();
    EXPECT_NE(log.find(c.text), std::string::npos) << log;
    EXPECT_NE(log.find("Error: Failed to execute dwarf instruction"), std::string::npos) << log;
  }
}

TEST_F(DwarfFailureLog, ExpressionsSayWhyTheyHaveNoResult) {
  const struct {
    std::vector<int> bytes;  // the length, then the opcodes
    std::vector<const char*> texts;
  } cases[] = {
      {{2, 0x22, 0x22}, {"Error: DWARF machine stack invalid", "Error: failed to execute DWARF machine opcode"}},
      {{0}, {"Error: DWARF expression length is zero", "Error: unable to prepare for execution"}},
      // plus_uconst's operand runs past the expression's two bytes.
      {{2, 0x23, 0x80, 0x01}, {"Error: DWARF machine pointers invalid", "Error: failed to execute DWARF machine opcode"}},
  };
  for (const auto& c : cases) {
    Bytes b;
    for (const int byte : c.bytes) b.u8({byte});
    std::uint64_t result = 0;
    VRDThreadState state{};
    newLines();
    EXPECT_FALSE(VRDDwarfEvalulateExpression(b.address(0), &state, 100, &result, nullptr));
    const std::string log = newLines();
    for (const char* text : c.texts) EXPECT_NE(log.find(text), std::string::npos) << text << "\n" << log;
  }
}

// A damaged CIE's augmentation may hold any byte; the log takes it in printable text.
TEST_F(DwarfFailureLog, AnAugmentationIsLoggedInPrintableText) {
  const struct {
    std::initializer_list<int> augmentation;
    const char* text;
  } cases[] = {
      {{'x', 0xc3, 0x28, 0x01}, "Error: Unimplemented: augmentation string x?(?\n"},
      {{'z', 0xff}, "Error: Unhandled augmentation string entry ?\n"},
  };
  for (const auto& c : cases) {
    Bytes b;
    b.u32(0);
    b.u32(0);
    b.u8({1});
    b.u8(c.augmentation);
    b.u8({0, 1, 0x78, 16, 1, 0});
    b.patch32(0, static_cast<std::uint32_t>(b.size() - 4));
    VRDDwarfCIERecord cie;
    newLines();
    EXPECT_FALSE(VRDDwarfParseCIERecord(&cie, b.address(0), nullptr));
    const std::string log = newLines();
    EXPECT_NE(log.find(c.text), std::string::npos) << log;
    EXPECT_TRUE(std::all_of(log.begin(), log.end(), [](char ch) {
      return ch == '\n' || (ch >= ' ' && ch <= '~');
    })) << log;
  }
}

TEST_F(DwarfFailureLog, ARuleSetThatCannotBeAssignedSaysWhich) {
  const struct {
    std::initializer_list<int> instructions;
    std::uint64_t sp;  // 0: the frame's own stack
    std::vector<const char*> texts;
  } cases[] = {
      {{0x0e, 0}, 0, {"Error: Stack pointer hasn't changed"}},
      {{}, 8, {"Error: Unable to restore SP value"}},
      {{}, 4096 * 3, {"Error: Unable to read CFA value", "Error: Unable to restore register value"}},
      {{0x10, 16, 2, 0x22, 0x22}, 0, {"Error: unable to evaluate expression", "Error: Unable to restore register value"}},
      {{0x10, 16, 1, 0x30}, 0, {"Error: Unable to read memory computed from expression"}},
  };
  for (const auto& c : cases) {
    Bytes b;
    VRDDwarfFDERecord record;
    const auto code = parsedFde(b, c.instructions, record);
    ASSERT_TRUE(code);
    const std::uint64_t kCode = *code;
    Frame frame(kCode + 1, 0);
    if (c.sp != 0) frame.state.registers[VRDRegisterRSP] = c.sp;
    newLines();
    EXPECT_EQ(VRDDwarfUnwindComputeRegisters(&record, kCode + 1, &frame.state, nullptr), VRDDwarfStep::Failed)
        << c.texts.front();
    const std::string log = newLines();
    for (const char* text : c.texts) EXPECT_NE(log.find(text), std::string::npos) << text << "\n" << log;
    EXPECT_NE(log.find("ERROR"), std::string::npos) << log;
    EXPECT_NE(log.find("Error: Unable to assign DWARF registers"), std::string::npos) << log;
  }
}

}  // namespace
}  // namespace crashreporting::test

namespace crashreporting::test {
namespace {

// A good CIE whose five FDEs hold one whose augmentation data runs past its record, a broken CIE that 40 FDEs
// use, an FDE pointing into an FDE, then a 64-bit record whose length would wrap the address round to just past
// its start: the table lists the other four FDEs of the good CIE, and the log says what was left out in one line.
TEST_F(DwarfFailureLog, ListingFDEsLeavesOutADamagedRecordAloneAndSaysSoInOneLine) {
  Bytes b;
  const std::uint64_t code = codeNear(b);
  const auto fde = [&b](std::size_t cie, std::uint64_t start, int augmentationLength = 0) {
    b.u32(16);
    b.u32(static_cast<std::uint32_t>(b.size() - cie));
    b.pcrel32(start);
    b.u32(0x10);
    b.u8({augmentationLength, 0, 0, 0});
  };
  cieAndFde(b, code, 0x10, {});
  fde(0, code + 0x10);
  fde(0, code + 0x20, 0x7f);
  fde(0, code + 0x30);
  const std::size_t last = b.size();
  fde(0, code + 0x40);
  const std::size_t broken = b.size();
  b.u32(12);
  b.u32(0);
  b.u8({9, 'z', 'R', 0, 1, 0x78, 16, 1});  // version 9
  for (int i = 0; i < 40; ++i) fde(broken, code + 0x100 + 0x10 * static_cast<std::uint64_t>(i));
  fde(last, code + 0x200);
  const std::size_t damage = b.size();
  b.u32(0xffffffffu);
  b.u64(~std::uint64_t{0});
  b.u32(1);
  newLines();
  const std::uint64_t table = VRDEhFrameIndexBuild(b.address(0), b.size(), code, code + 0x1000, "image.so");
  ASSERT_NE(table, 0u);
  std::uint32_t count = 0;
  std::memcpy(&count, reinterpret_cast<const void*>(table + 12), 4);
  EXPECT_EQ(count, 4u);
  VRDEhFrameIndexRelease(table);
  const std::string log = newLines();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  char expected[256];
  std::snprintf(
      expected, sizeof expected,
      "The .eh_frame of image.so is damaged: 4 FDEs listed up to offset 0x%zx of 0x%zx; left out: 1 FDEs "
      "that cannot be parsed, 1 CIEs that cannot be parsed and their 40 FDEs, 1 FDEs whose CIE pointer "
      "leads to no CIE\n",
      damage, b.size());
  EXPECT_NE(log.find(expected), std::string::npos) << log;
}

}  // namespace
}  // namespace crashreporting::test
