#pragma once

#include <cstdint>

#include "crashreporting/Capture/VRDReadablePages.h"
#include "crashreporting/Capture/VRDThreadState.h"

// DWARF call-frame unwinding from an image's `.eh_frame`: CIE and FDE records with their pointer encodings, the
// call-frame instructions run up to a PC, the register rules and the expression machine. Every byte is read
// through safe reads bounded by its record; nothing allocates. Register numbers are x86-64 DWARF numbers
// (0 rax, 1 rdx, 2 rcx, 3 rbx, 4 rsi, 5 rdi, 6 rbp, 7 rsp, 8–15 r8–r15, 16 the return address).

namespace crashreporting {

inline constexpr std::uint64_t VRDDwarfRegisterCount = 17;
inline constexpr std::uint64_t VRDDwarfReturnAddressRegister = 16;
/// The CFA "register" that says an expression computes the CFA.
inline constexpr std::uint64_t VRDDwarfCFAExpressionRegister = 17;
inline constexpr std::uint32_t VRDDwarfExpressionStackSize = 100;
/// How many rows DW_CFA_remember_state can keep.
inline constexpr std::uint32_t VRDDwarfRememberDepth = 8;

/// A bounded read position: reads past `end` fail. Reads that end at or below `proved` (never past `end`) are
/// from pages already proved readable: plain loads. A `quiet` cursor's record parses log no failure: a listing
/// of a whole section counts them instead.
struct VRDDwarfCursor {
  std::uint64_t address;
  std::uint64_t end;
  VRDReadablePages* pages;
  std::uint64_t proved = 0;
  bool quiet = false;
};

struct VRDDwarfCIERecord {
  std::uint64_t length;
  std::uint8_t version;
  std::uint64_t augmentation;  // address of the NUL-terminated string
  bool hasAugmentationData;
  std::uint64_t codeAlignment;
  std::int64_t dataAlignment;
  std::uint64_t returnAddressRegister;
  bool signalFrame;
  std::uint8_t fdeEncoding;
  std::uint8_t lsdaEncoding;
  std::uint8_t personalityEncoding;
  std::uint64_t personality;
  std::uint64_t instructions;
  std::uint64_t instructionsEnd;
};

struct VRDDwarfFDERecord {
  std::uint64_t length;
  std::uint64_t ciePointer;
  std::uint64_t pcBegin;
  std::uint64_t pcRange;
  std::uint64_t instructions;
  std::uint64_t instructionsEnd;
  VRDDwarfCIERecord cie;
};

enum VRDDwarfRuleKind : std::uint32_t {
  VRDDwarfRuleUnchanged = 0,
  VRDDwarfRuleAtCFAOffset = 1,
  VRDDwarfRuleValueCFAOffset = 2,  // not supported
  VRDDwarfRuleInRegister = 3,
  VRDDwarfRuleAtExpression = 4,
  VRDDwarfRuleValueExpression = 5,
  VRDDwarfRuleUndefined = 6,  // the register has no value: for the return address, the outermost frame
};

struct VRDDwarfRule {
  std::uint32_t kind;
  std::uint64_t value;  // offset, register number or expression address (at its ULEB128 length)
};

/// Only the registers whose bit is set in `ruled` have a rule in `registers`; every other one is unchanged and
/// its slot is not read (nor copied: a frame's rules are its CIE's few plus the FDE's few). Read a register's
/// rule with VRDDwarfRuleForRegister.
struct VRDDwarfRegisterRules {
  std::uint64_t cfaRegister;
  std::int64_t cfaOffset;
  std::uint64_t cfaExpression;
  std::uint32_t ruled;
  VRDDwarfRule registers[VRDDwarfRegisterCount];
};
static_assert(VRDDwarfRegisterCount <= 32);

/// The rule of register `number` (below VRDDwarfRegisterCount): "unchanged" where the rules set none.
inline VRDDwarfRule VRDDwarfRuleForRegister(const VRDDwarfRegisterRules* rules, std::uint64_t number) noexcept {
  if (number >= VRDDwarfRegisterCount || (rules->ruled & (std::uint32_t{1} << number)) == 0) {
    return {VRDDwarfRuleUnchanged, 0};
  }
  return rules->registers[number];
}
/// Copies the CFA rule and the registers' rules, only the slots that hold one.
void VRDDwarfCopyRules(VRDDwarfRegisterRules* to, const VRDDwarfRegisterRules* from) noexcept;

/// CIEs parsed before, each with the rules its initial instructions set: an image's FDEs share a few CIEs.
struct VRDDwarfCIECache {
  static constexpr std::size_t kEntries = 8;
  struct Entry {
    std::uint64_t address;  // 0: free
    VRDDwarfCIERecord cie;
    VRDDwarfRegisterRules initial;
  };
  Entry entries[kEntries];
  std::uint32_t next;  // the entry the next new CIE takes, in turn
};

/// What a DWARF step came to.
enum class VRDDwarfStep { Failed, Unwound, EndOfStack };

bool VRDDwarfReadU8(VRDDwarfCursor* cursor, std::uint8_t* out) noexcept;
bool VRDDwarfReadULEB128(VRDDwarfCursor* cursor, std::uint64_t* out) noexcept;
bool VRDDwarfReadSLEB128(VRDDwarfCursor* cursor, std::int64_t* out) noexcept;
/// A pointer in a DW_EH_PE encoding (absolute or pc-relative, optionally indirect); 0xFF (omit) gives 0.
/// All ones on failure.
std::uint64_t VRDParseAddressWithEncodingAndAdvance(VRDDwarfCursor* cursor, std::uint8_t encoding) noexcept;

/// `quiet`: its failures are not logged (as for the record parses below).
bool VRDDwarfParseCIERecord(VRDDwarfCIERecord* cie, std::uint64_t address, VRDReadablePages* pages,
                            bool quiet = false) noexcept;
/// A CIE an FDE may use: it has a length and is of version 1 or 3.
bool VRDDwarfCIEIsValid(const VRDDwarfCIERecord* cie) noexcept;
/// Parses the FDE at `address` and the CIE it points to.
bool VRDDwarfParseFDERecord(VRDDwarfFDERecord* fde, std::uint64_t address, VRDReadablePages* pages) noexcept;
/// The same with the CIE it points to parsed before.
bool VRDDwarfParseFDERecordWithCIE(VRDDwarfFDERecord* fde, std::uint64_t address, const VRDDwarfCIERecord* cie,
                                   VRDReadablePages* pages, bool quiet = false) noexcept;
void VRDDwarfCIECacheReset(VRDDwarfCIECache* cache) noexcept;
/// The same, taking the CIE from `cache` when it was parsed before (a new one is parsed, its initial
/// instructions run, and kept); `initial` receives its initial rules, which live in the cache. For the unwinder:
/// an indirect personality pointer is not followed (the CIE's `personality` is 0).
bool VRDDwarfParseFDERecordCachingCIE(VRDDwarfFDERecord* fde, std::uint64_t address, VRDDwarfCIECache* cache,
                                      const VRDDwarfRegisterRules** initial, VRDReadablePages* pages) noexcept;

/// Runs the instructions in [start, end) into `rules`. Rows whose location is at or below `pcOffset` apply.
/// `initial` (the CIE's rules) serves DW_CFA_restore; null while the CIE's own instructions run. `pcBegin` turns
/// DW_CFA_set_loc addresses into locations.
bool VRDDwarfInstructionsEnumerate(std::uint64_t start, std::uint64_t end, const VRDDwarfCIERecord* cie,
                                   VRDDwarfRegisterRules* rules, const VRDDwarfRegisterRules* initial,
                                   std::uint64_t pcBegin, std::uint64_t pcOffset, VRDReadablePages* pages) noexcept;
/// The same, every instruction through the general interpreter: VRDDwarfInstructionsEnumerate takes the usual
/// prologue and epilogue instructions (one-byte operands, a record proved readable) on a shorter road first, and
/// must come to the same rules.
bool VRDDwarfInstructionsInterpret(std::uint64_t start, std::uint64_t end, const VRDDwarfCIERecord* cie,
                                   VRDDwarfRegisterRules* rules, const VRDDwarfRegisterRules* initial,
                                   std::uint64_t pcBegin, std::uint64_t pcOffset, VRDReadablePages* pages) noexcept;

/// Runs the expression at `expression` (its ULEB128 length first) with `initial` pushed; the top of the stack.
bool VRDDwarfEvalulateExpression(std::uint64_t expression, const VRDThreadState* state, std::uint64_t initial,
                                 std::uint64_t* result, VRDReadablePages* pages) noexcept;

std::uint64_t VRDDwarfUnwindGetRegisterValue(const VRDThreadState* state, std::uint64_t number) noexcept;
bool VRDDwarfUnwindSetRegisterValue(VRDThreadState* state, std::uint64_t number, std::uint64_t value) noexcept;

/// The rules in force at `pc` (inside the FDE's range).
bool VRDDwarfRulesForPC(const VRDDwarfFDERecord* fde, std::uint64_t pc, VRDDwarfRegisterRules* rules,
                        VRDReadablePages* pages) noexcept;
/// The same from the rules the CIE's initial instructions set.
bool VRDDwarfRulesForPCFromInitial(const VRDDwarfFDERecord* fde, const VRDDwarfRegisterRules* initial,
                                   std::uint64_t pc, VRDDwarfRegisterRules* rules, VRDReadablePages* pages) noexcept;
/// Replaces `state` by its caller's registers. `pc` is the address the rows are looked up for (a return
/// address already stepped back into its call).
VRDDwarfStep VRDDwarfUnwindComputeRegisters(const VRDDwarfFDERecord* fde, std::uint64_t pc, VRDThreadState* state,
                                            VRDReadablePages* pages) noexcept;
/// The second half of that: the caller's registers from the rules in force at the PC.
VRDDwarfStep VRDDwarfUnwindApplyRules(const VRDDwarfRegisterRules* rules, VRDThreadState* state,
                                      VRDReadablePages* pages) noexcept;

}  // namespace crashreporting
