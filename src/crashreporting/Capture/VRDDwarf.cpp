#include "crashreporting/Capture/VRDDwarf.h"

#include <cstring>
#include <optional>

#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDSafeRead.h"

// A record's parse failure, unless its cursor is quiet.
#define VRDLogParseFailure(cursor, format, ...)                          \
  do {                                                                   \
    if (!(cursor)->quiet) VRDLogWarn(format __VA_OPT__(, ) __VA_ARGS__); \
  } while (false)

namespace crashreporting {
namespace {

constexpr std::uint64_t kFailed = ~std::uint64_t{0};
// DWARF number → index in the recorded register order (rax rbx rcx rdx rdi rsi rbp rsp r8–r15 rip).
constexpr std::size_t kStateIndex[VRDDwarfRegisterCount] = {0, 3, 2, 1, 5, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// Records are small: one whose bytes all lie on readable pages is proved at once, and read with plain loads.
constexpr std::uint64_t kLargestProvedRecord = 2 * VRDReadablePageSize;

void proveRest(VRDDwarfCursor* cursor) noexcept {
  VRDReadablePages* const pages = cursor->pages;
  if (pages == nullptr || cursor->end - cursor->address > kLargestProvedRecord) return;
  // Most records lie on one page, and that page is usually known already.
  const std::uint64_t first = cursor->address / VRDReadablePageSize;
  const bool knownPage = cursor->end > cursor->address && cursor->address >= VRDMinimumValidAddress &&
                         (cursor->end - 1) / VRDReadablePageSize == first &&
                         pages->pages[first % VRDReadablePages::kSlots] == first + 1;
  if (knownPage || VRDReadablePagesProve(pages, cursor->address, cursor->end - cursor->address)) {
    cursor->proved = cursor->end;
  }
}

template <typename T>
__attribute__((always_inline)) inline bool readValue(VRDDwarfCursor* cursor, T* out) noexcept {
  if (cursor->address < cursor->proved && cursor->proved - cursor->address >= sizeof(T)) {
    VRDReadablePagesCopy(cursor->address, out, sizeof(T));
    cursor->address += sizeof(T);
    return true;
  }
  if (cursor->address + sizeof(T) < cursor->address || cursor->address + sizeof(T) > cursor->end) return false;
  if (!VRDReadablePagesRead(cursor->pages, cursor->address, out, sizeof(T))) return false;
  cursor->address += sizeof(T);
  return true;
}

bool skip(VRDDwarfCursor* cursor, std::uint64_t length) noexcept {
  if (length > cursor->end - cursor->address) return false;
  cursor->address += length;
  return true;
}

// The initial length of a record: 32 bits, or all ones and 64 bits. `end` becomes the record's end.
bool readInitialLength(VRDDwarfCursor* cursor, std::uint64_t* length) noexcept {
  std::uint32_t short_length = 0;
  if (!readValue(cursor, &short_length)) return false;
  *length = short_length;
  if (short_length == 0xFFFFFFFFu && !readValue(cursor, length)) return false;
  if (*length == 0 || *length > cursor->end - cursor->address) return false;
  cursor->end = cursor->address + *length;
  proveRest(cursor);
  return true;
}

// Most operands are a single byte: read at once from a proved record, the caller's call saved.
__attribute__((always_inline)) inline bool readShortULEB128(VRDDwarfCursor* cursor, std::uint64_t* out) noexcept {
  if (cursor->address >= cursor->proved) return false;
  std::uint8_t first = 0;
  VRDReadablePagesCopy(cursor->address, &first, 1);
  if ((first & 0x80) != 0) return false;
  ++cursor->address;
  *out = first;
  return true;
}

__attribute__((always_inline)) inline bool readULEB128(VRDDwarfCursor* cursor, std::uint64_t* out) noexcept {
  return readShortULEB128(cursor, out) || VRDDwarfReadULEB128(cursor, out);
}

bool validRegister(std::uint64_t number) { return number < VRDDwarfRegisterCount; }

// `number` is a valid register.
inline void setRule(VRDDwarfRegisterRules* rules, std::uint64_t number, VRDDwarfRule rule) noexcept {
  const std::uint32_t bit = std::uint32_t{1} << number;
  if (rule.kind == VRDDwarfRuleUnchanged) {
    rules->ruled &= ~bit;
    return;
  }
  rules->registers[number] = rule;
  rules->ruled |= bit;
}

inline std::uint64_t registerValue(const VRDThreadState* state, std::uint64_t number) noexcept {
  return validRegister(number) ? state->registers[kStateIndex[number]] : 0;
}

struct ExpressionMachine {
  std::uint64_t stack[VRDDwarfExpressionStackSize];
  std::uint32_t depth;
  /// Set by a push onto a full stack or a pop from an empty one.
  bool invalid;
  bool push(std::uint64_t value) {
    if (depth >= VRDDwarfExpressionStackSize) return !(invalid = true);
    stack[depth++] = value;
    return true;
  }
  bool pop(std::uint64_t* value) {
    if (depth == 0) return !(invalid = true);
    *value = stack[--depth];
    return true;
  }
};

// An operation on the two top entries: the one under the top (`second`) and the top, in DWARF's order (minus
// takes the top from the second). Division, the arithmetic shift and comparisons are signed, as the unwinders
// of the toolchains that write them read them; a shift by 64 or more shifts every bit out. None for a division
// by zero.
std::optional<std::uint64_t> binaryOperation(std::uint8_t op, std::uint64_t second, std::uint64_t top) noexcept {
  const auto signedSecond = static_cast<std::int64_t>(second);
  const auto signedTop = static_cast<std::int64_t>(top);
  if ((op == 0x1b || op == 0x1d) && top == 0) {
    VRDLogWarn("Error: DWARF expression opcode 0x%x divides by zero\n", op);
    return std::nullopt;
  }
  switch (op) {
    case 0x1a:
      return second & top;
    // The one quotient that does not fit wraps round, where the processor's division would fault.
    case 0x1b:
      return signedTop == -1 ? 0 - second : static_cast<std::uint64_t>(signedSecond / signedTop);
    case 0x1c:
      return second - top;
    case 0x1d:
      return second % top;
    case 0x1e:
      return second * top;
    case 0x21:
      return second | top;
    case 0x22:
      return second + top;
    case 0x24:
      return top < 64 ? second << top : 0;
    case 0x25:
      return top < 64 ? second >> top : 0;
    case 0x26:
      return static_cast<std::uint64_t>(signedSecond >> (top < 64 ? top : 63));
    case 0x27:
      return second ^ top;
    case 0x29:
      return signedSecond == signedTop;
    case 0x2a:
      return signedSecond >= signedTop;
    case 0x2b:
      return signedSecond > signedTop;
    case 0x2c:
      return signedSecond <= signedTop;
    case 0x2d:
      return signedSecond < signedTop;
    default:
      return signedSecond != signedTop;  // 0x2e
  }
}

bool executeOpcode(ExpressionMachine* machine, VRDDwarfCursor* cursor, const VRDThreadState* state) noexcept {
  std::uint8_t op = 0;
  if (!VRDDwarfReadU8(cursor, &op)) return false;
  std::uint64_t a = 0;
  std::uint64_t b = 0;
  if (op >= 0x30 && op <= 0x4f) return machine->push(op - 0x30u);
  if (op >= 0x70 && op <= 0x8f) {
    std::int64_t offset = 0;
    const std::uint64_t number = op - 0x70u;
    if (!validRegister(number)) {
      VRDLogWarn("Error: DW_OP_breg invalid register number\n");
      return false;
    }
    if (!VRDDwarfReadSLEB128(cursor, &offset)) return false;
    return machine->push(VRDDwarfUnwindGetRegisterValue(state, number) + static_cast<std::uint64_t>(offset));
  }
  switch (op) {
    case 0x06:  // deref
      if (!machine->pop(&a) || !VRDReadablePagesRead(cursor->pages, a, &b, 8)) {
        VRDLogWarn("Error: DW_OP_deref failed to read memory\n");
        return false;
      }
      return machine->push(b);
    case 0x12:  // dup
      if (machine->depth == 0) return !(machine->invalid = true);
      return machine->push(machine->stack[machine->depth - 1]);
    case 0x16:  // swap
      if (machine->depth < 2) return !(machine->invalid = true);
      a = machine->stack[machine->depth - 1];
      machine->stack[machine->depth - 1] = machine->stack[machine->depth - 2];
      machine->stack[machine->depth - 2] = a;
      return true;
    case 0x19:  // abs
    case 0x1f:  // neg
    case 0x20:  // not
      if (!machine->pop(&a)) return false;
      if (op == 0x20) return machine->push(~a);
      return machine->push(op == 0x1f || static_cast<std::int64_t>(a) < 0 ? 0 - a : a);
    case 0x23:  // plus_uconst
      return VRDDwarfReadULEB128(cursor, &b) && machine->pop(&a) && machine->push(a + b);
    case 0x1a:  // and
    case 0x1b:  // div
    case 0x1c:  // minus
    case 0x1d:  // mod
    case 0x1e:  // mul
    case 0x21:  // or
    case 0x22:  // plus
    case 0x24:  // shl
    case 0x25:  // shr
    case 0x26:  // shra
    case 0x27:  // xor
    case 0x29:  // eq
    case 0x2a:  // ge
    case 0x2b:  // gt
    case 0x2c:  // le
    case 0x2d:  // lt
    case 0x2e:  // ne
      if (!machine->pop(&a) || !machine->pop(&b)) return false;
      if (const auto result = binaryOperation(op, b, a)) return machine->push(*result);
      return false;
    case 0x94: {  // deref_size
      std::uint8_t size = 0;
      if (!VRDDwarfReadU8(cursor, &size) || !machine->pop(&a)) return false;
      if (size != 1 && size != 2 && size != 4 && size != 8) {
        VRDLogWarn("Error: unrecognized DW_OP_deref_size argument %x\n", size);
        return false;
      }
      b = 0;
      if (!VRDReadablePagesRead(cursor->pages, a, &b, size)) return false;
      return machine->push(b);
    }
    default:
      VRDLogWarn("Error: Unrecognized DWARF expression opcode 0x%x\n", op);
      return false;
  }
}

bool readRegister(VRDDwarfCursor* cursor, std::uint64_t* number) noexcept {
  return readULEB128(cursor, number) && validRegister(*number);
}

// A register operand that was read but names no register the rules keep: the instruction's own message follows.
bool invalidRegisterRead(const VRDDwarfCursor& before, const VRDDwarfCursor& after, std::uint64_t number) noexcept {
  return after.address > before.address && !validRegister(number);
}

// Skips an expression block, handing back its address (at its length).
bool skipBlock(VRDDwarfCursor* cursor, std::uint64_t* block) noexcept {
  *block = cursor->address;
  std::uint64_t length = 0;
  return VRDDwarfReadULEB128(cursor, &length) && skip(cursor, length);
}

bool savedRegister(const VRDDwarfRule& rule, std::uint64_t cfa, const VRDThreadState* state,
                   VRDReadablePages* pages, std::uint64_t* value) noexcept {
  switch (rule.kind) {
    case VRDDwarfRuleAtCFAOffset:
      if (!VRDReadablePagesRead(pages, cfa + rule.value, value, 8)) {
        VRDLogWarn("Error: Unable to read CFA value\n");
        return false;
      }
      return true;
    case VRDDwarfRuleInRegister:
      *value = registerValue(state, rule.value);
      return true;
    case VRDDwarfRuleAtExpression: {
      std::uint64_t address = 0;
      if (!VRDDwarfEvalulateExpression(rule.value, state, cfa, &address, pages)) {
        VRDLogWarn("Error: unable to evaluate expression\n");
        return false;
      }
      if (!VRDReadablePagesRead(pages, address, value, 8)) {
        VRDLogWarn("Error: Unable to read memory computed from expression\n");
        return false;
      }
      return true;
    }
    case VRDDwarfRuleValueExpression:
      return VRDDwarfEvalulateExpression(rule.value, state, cfa, value, pages);
    default:
      VRDLogWarn("Error: Unrecognized register save location 0x%x\n", rule.kind);
      return false;
  }
}

}  // namespace

bool VRDDwarfReadU8(VRDDwarfCursor* cursor, std::uint8_t* out) noexcept { return readValue(cursor, out); }

bool VRDDwarfReadULEB128(VRDDwarfCursor* cursor, std::uint64_t* out) noexcept {
  if (readShortULEB128(cursor, out)) return true;
  std::uint64_t value = 0;
  for (unsigned shift = 0; shift < 64; shift += 7) {
    std::uint8_t byte = 0;
    if (!readValue(cursor, &byte)) return false;
    value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
    if ((byte & 0x80) == 0) {
      *out = value;
      return true;
    }
  }
  return false;
}

bool VRDDwarfReadSLEB128(VRDDwarfCursor* cursor, std::int64_t* out) noexcept {
  std::uint64_t value = 0;
  for (unsigned shift = 0; shift < 64; shift += 7) {
    std::uint8_t byte = 0;
    if (!readValue(cursor, &byte)) return false;
    value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
    if ((byte & 0x80) == 0) {
      if (shift + 7 < 64 && (byte & 0x40) != 0) value |= ~std::uint64_t{0} << (shift + 7);
      *out = static_cast<std::int64_t>(value);
      return true;
    }
  }
  return false;
}

std::uint64_t VRDParseAddressWithEncodingAndAdvance(VRDDwarfCursor* cursor, std::uint8_t encoding) noexcept {
  // What compilers emit: signed 4-byte values, absolute or pc-relative, not indirect.
  if (cursor != nullptr && (encoding == 0x1b || encoding == 0x0b)) {
    const std::uint64_t start = cursor->address;
    std::int32_t v = 0;
    if (!readValue(cursor, &v)) return kFailed;
    const auto value = static_cast<std::uint64_t>(std::int64_t{v});
    return encoding == 0x1b ? value + start : value;
  }
  if (encoding == 0xFF) return 0;
  if (cursor == nullptr) return kFailed;
  const std::uint64_t start = cursor->address;
  std::uint64_t value = 0;
  bool ok = false;
  switch (encoding & 0x0F) {
    case 0x00:
    case 0x04:
    case 0x0C: ok = readValue(cursor, &value); break;
    case 0x01: ok = VRDDwarfReadULEB128(cursor, &value); break;
    case 0x02: { std::uint16_t v = 0; ok = readValue(cursor, &v); value = v; break; }
    case 0x03: { std::uint32_t v = 0; ok = readValue(cursor, &v); value = v; break; }
    case 0x09: { std::int64_t v = 0; ok = VRDDwarfReadSLEB128(cursor, &v); value = static_cast<std::uint64_t>(v); break; }
    case 0x0A: { std::int16_t v = 0; ok = readValue(cursor, &v); value = static_cast<std::uint64_t>(std::int64_t{v}); break; }
    case 0x0B: { std::int32_t v = 0; ok = readValue(cursor, &v); value = static_cast<std::uint64_t>(std::int64_t{v}); break; }
    default:
      VRDLogParseFailure(cursor, "Unhandled: encoding 0x%02x\n", encoding);
      return kFailed;
  }
  if (!ok) return kFailed;
  switch (encoding & 0x70) {
    case 0x00: break;
    case 0x10: value += start; break;
    default:
      VRDLogParseFailure(cursor, "Unhandled: relative encoding 0x%02x\n", encoding);
      return kFailed;
  }
  if ((encoding & 0x80) != 0) {
    std::uint64_t target = 0;
    if (value == 0 || !VRDReadablePagesRead(cursor->pages, value, &target, 8)) return kFailed;
    value = target;
  }
  return value;
}

namespace {

// `resolvePersonality` false: an indirect personality pointer is skipped rather than followed. Unwinding never
// calls the personality, and its slot lies in the image's writable data, a page no other step of a walk reads
// (a system call to prove it, and a CIE lost with it if it cannot be read).
// The log takes only printable text: a damaged record's augmentation may hold any byte.
char printable(char c) noexcept { return c >= ' ' && c <= '~' ? c : '?'; }

bool parseCIERecord(VRDDwarfCIERecord* cie, std::uint64_t address, VRDReadablePages* pages,
                    bool resolvePersonality, bool quiet) noexcept {
  if (cie == nullptr || address < VRDMinimumValidAddress) return false;
  // Field by field: a memset of the record is a slow string instruction on some processors.
  cie->length = 0;
  cie->version = 0;
  cie->augmentation = 0;
  cie->hasAugmentationData = false;
  cie->codeAlignment = 0;
  cie->dataAlignment = 0;
  cie->returnAddressRegister = 0;
  cie->signalFrame = false;
  cie->fdeEncoding = 0;
  cie->lsdaEncoding = 0xFF;
  cie->personalityEncoding = 0xFF;
  cie->personality = 0;
  cie->instructions = 0;
  cie->instructionsEnd = 0;
  VRDDwarfCursor cursor{address, ~std::uint64_t{0}, pages, 0, quiet};
  if (!readInitialLength(&cursor, &cie->length)) {
    VRDLogParseFailure(&cursor, "Error: CIE length invalid\n");
    return false;
  }
  std::uint32_t id = 1;
  if (!readValue(&cursor, &id) || id != 0) {
    VRDLogParseFailure(&cursor, "Error: CIE flag not found\n");
    return false;
  }
  if (!VRDDwarfReadU8(&cursor, &cie->version) || (cie->version != 1 && cie->version != 3)) {
    VRDLogParseFailure(&cursor, "Error: CIE version %u unsupported\n", cie->version);
    return false;
  }
  cie->augmentation = cursor.address;
  char augmentation[8] = {};
  std::size_t augmentationLength = 0;
  for (;;) {
    std::uint8_t c = 0;
    if (!VRDDwarfReadU8(&cursor, &c)) return false;
    if (c == 0) break;
    if (augmentationLength + 1 >= sizeof augmentation) {
      VRDLogParseFailure(&cursor, "Error: Unimplemented: augmentation string too long\n");
      return false;
    }
    augmentation[augmentationLength++] = static_cast<char>(c);
  }
  if (!VRDDwarfReadULEB128(&cursor, &cie->codeAlignment) || !VRDDwarfReadSLEB128(&cursor, &cie->dataAlignment)) {
    return false;
  }
  if (cie->version == 3) {
    if (!VRDDwarfReadULEB128(&cursor, &cie->returnAddressRegister)) return false;
  } else {
    std::uint8_t ra = 0;
    if (!VRDDwarfReadU8(&cursor, &ra)) return false;
    cie->returnAddressRegister = ra;
  }
  if (augmentationLength > 0) {
    if (augmentation[0] != 'z') {
      for (std::size_t i = 0; i < augmentationLength; ++i) augmentation[i] = printable(augmentation[i]);
      VRDLogParseFailure(&cursor, "Error: Unimplemented: augmentation string %s\n", augmentation);
      return false;
    }
    cie->hasAugmentationData = true;
    std::uint64_t dataLength = 0;
    if (!VRDDwarfReadULEB128(&cursor, &dataLength) || dataLength > cursor.end - cursor.address) return false;
    VRDDwarfCursor data{cursor.address, cursor.address + dataLength, pages, 0, quiet};
    for (std::size_t i = 1; i < augmentationLength; ++i) {
      switch (augmentation[i]) {
        case 'L':
          if (!VRDDwarfReadU8(&data, &cie->lsdaEncoding)) return false;
          break;
        case 'P':
          if (!VRDDwarfReadU8(&data, &cie->personalityEncoding)) return false;
          cie->personality = VRDParseAddressWithEncodingAndAdvance(
              &data, resolvePersonality ? cie->personalityEncoding : cie->personalityEncoding & 0x7F);
          if (cie->personality == kFailed || cie->personality == kFailed - 1) {
            VRDLogParseFailure(&data, "Error: Found an invalid start address\n");
            return false;
          }
          if (!resolvePersonality && (cie->personalityEncoding & 0x80) != 0) cie->personality = 0;
          break;
        case 'R':
          if (!VRDDwarfReadU8(&data, &cie->fdeEncoding)) return false;
          break;
        case 'S': cie->signalFrame = true; break;
        default:
          VRDLogParseFailure(&data, "Error: Unhandled augmentation string entry %c\n", printable(augmentation[i]));
          return false;
      }
    }
    cursor.address += dataLength;
  }
  cie->instructions = cursor.address;
  cie->instructionsEnd = cursor.end;
  return true;
}

// The FDE's length and CIE pointer; `cursor` is left after the pointer, bounded by the record.
bool parseFDEHead(VRDDwarfFDERecord* fde, std::uint64_t address, VRDDwarfCursor* cursor,
                  std::uint64_t* cieAddress) noexcept {
  if (fde == nullptr || address < VRDMinimumValidAddress) return false;
  // The CIE part is filled by its own parse or from the cache.
  fde->length = 0;
  fde->ciePointer = 0;
  fde->pcBegin = 0;
  fde->pcRange = 0;
  fde->instructions = 0;
  fde->instructionsEnd = 0;
  if (!readInitialLength(cursor, &fde->length)) {
    VRDLogParseFailure(cursor, "Error: FDE has zero length\n");
    return false;
  }
  const std::uint64_t pointerField = cursor->address;
  std::uint32_t ciePointer = 0;
  if (!readValue(cursor, &ciePointer) || ciePointer == 0 || ciePointer > pointerField) {
    VRDLogParseFailure(cursor, "Error: CIE offset invalid\n");
    return false;
  }
  fde->ciePointer = ciePointer;
  *cieAddress = pointerField - ciePointer;
  return true;
}

bool parseFDEAddresses(VRDDwarfFDERecord* fde, VRDDwarfCursor* cursor) noexcept;

// The rest of the FDE once its CIE is known.
bool parseFDEBody(VRDDwarfFDERecord* fde, VRDDwarfCursor* cursor) noexcept {
  // What compilers emit, from a proved record: a pc-relative signed 4-byte start and its 4-byte length.
  if (fde->cie.fdeEncoding == 0x1b && cursor->address < cursor->proved && cursor->proved - cursor->address >= 8) {
    std::int32_t fields[2];
    VRDReadablePagesCopy(cursor->address, fields, sizeof fields);
    fde->pcBegin = cursor->address + static_cast<std::uint64_t>(std::int64_t{fields[0]});
    fde->pcRange = static_cast<std::uint64_t>(std::int64_t{fields[1]});
    cursor->address += sizeof fields;
  } else if (!parseFDEAddresses(fde, cursor)) {
    return false;
  }
  if (fde->cie.hasAugmentationData) {
    std::uint64_t length = 0;
    if (!readULEB128(cursor, &length) || !skip(cursor, length)) return false;
  }
  fde->instructions = cursor->address;
  fde->instructionsEnd = cursor->end;
  return true;
}

bool parseFDEAddresses(VRDDwarfFDERecord* fde, VRDDwarfCursor* cursor) noexcept {
  fde->pcBegin = VRDParseAddressWithEncodingAndAdvance(cursor, fde->cie.fdeEncoding);
  if (fde->pcBegin == kFailed) {
    VRDLogParseFailure(cursor, "Error: Found an invalid start address\n");
    return false;
  }
  fde->pcRange = VRDParseAddressWithEncodingAndAdvance(cursor, fde->cie.fdeEncoding & 0x0F);
  if (fde->pcRange == kFailed) {
    VRDLogParseFailure(cursor, "Error: Found an invalid address range\n");
    return false;
  }
  return true;
}

bool runInitialInstructions(const VRDDwarfCIERecord* cie, VRDDwarfRegisterRules* rules,
                            VRDReadablePages* pages) noexcept {
  // No rule yet: the registers' slots are not read until one is set.
  rules->cfaRegister = 0;
  rules->cfaOffset = 0;
  rules->cfaExpression = 0;
  rules->ruled = 0;
  if (!VRDDwarfInstructionsEnumerate(cie->instructions, cie->instructionsEnd, cie, rules, nullptr, 0,
                                     ~std::uint64_t{0}, pages)) {
    VRDLogWarn("Error: Unable to run CIE instructions\n");
    return false;
  }
  return true;
}

}  // namespace

bool VRDDwarfParseCIERecord(VRDDwarfCIERecord* cie, std::uint64_t address, VRDReadablePages* pages,
                            bool quiet) noexcept {
  return parseCIERecord(cie, address, pages, true, quiet);
}

bool VRDDwarfCIEIsValid(const VRDDwarfCIERecord* cie) noexcept {
  return cie != nullptr && cie->length != 0 && (cie->version == 1 || cie->version == 3);
}

bool VRDDwarfParseFDERecord(VRDDwarfFDERecord* fde, std::uint64_t address, VRDReadablePages* pages) noexcept {
  VRDDwarfCursor cursor{address, ~std::uint64_t{0}, pages};
  std::uint64_t cieAddress = 0;
  if (!parseFDEHead(fde, address, &cursor, &cieAddress)) return false;
  if (!VRDDwarfParseCIERecord(&fde->cie, cieAddress, pages)) {
    VRDLogWarn("Error: Unable to parse CIE record\n");
    return false;
  }
  if (!VRDDwarfCIEIsValid(&fde->cie)) {
    VRDLogWarn("Error: CIE invalid\n");
    return false;
  }
  return parseFDEBody(fde, &cursor);
}

bool VRDDwarfParseFDERecordWithCIE(VRDDwarfFDERecord* fde, std::uint64_t address, const VRDDwarfCIERecord* cie,
                                   VRDReadablePages* pages, bool quiet) noexcept {
  VRDDwarfCursor cursor{address, ~std::uint64_t{0}, pages, 0, quiet};
  std::uint64_t cieAddress = 0;
  if (!parseFDEHead(fde, address, &cursor, &cieAddress)) return false;
  fde->cie = *cie;
  return parseFDEBody(fde, &cursor);
}

void VRDDwarfCopyRules(VRDDwarfRegisterRules* to, const VRDDwarfRegisterRules* from) noexcept {
  to->cfaRegister = from->cfaRegister;
  to->cfaOffset = from->cfaOffset;
  to->cfaExpression = from->cfaExpression;
  to->ruled = from->ruled & ((std::uint32_t{1} << VRDDwarfRegisterCount) - 1);
  for (std::uint32_t ruled = to->ruled; ruled != 0; ruled &= ruled - 1) {
    const int number = __builtin_ctz(ruled);
    to->registers[number] = from->registers[number];
  }
}

void VRDDwarfCIECacheReset(VRDDwarfCIECache* cache) noexcept {
  for (VRDDwarfCIECache::Entry& entry : cache->entries) entry.address = 0;
  cache->next = 0;
}

bool VRDDwarfParseFDERecordCachingCIE(VRDDwarfFDERecord* fde, std::uint64_t address, VRDDwarfCIECache* cache,
                                      const VRDDwarfRegisterRules** initial, VRDReadablePages* pages) noexcept {
  if (cache == nullptr || initial == nullptr) return false;
  VRDDwarfCursor cursor{address, ~std::uint64_t{0}, pages};
  std::uint64_t cieAddress = 0;
  if (!parseFDEHead(fde, address, &cursor, &cieAddress)) return false;
  const VRDDwarfCIECache::Entry* found = nullptr;
  for (const VRDDwarfCIECache::Entry& entry : cache->entries) {
    if (entry.address == cieAddress) found = &entry;
  }
  if (found == nullptr) {
    VRDDwarfCIECache::Entry& entry = cache->entries[cache->next++ % VRDDwarfCIECache::kEntries];
    entry.address = 0;
    if (!parseCIERecord(&entry.cie, cieAddress, pages, false, false)) {
      VRDLogWarn("Error: Unable to parse CIE record\n");
      return false;
    }
    if (!runInitialInstructions(&entry.cie, &entry.initial, pages)) return false;
    entry.address = cieAddress;
    found = &entry;
  }
  fde->cie = found->cie;
  *initial = &found->initial;
  return parseFDEBody(fde, &cursor);
}

namespace {

// Where a run of call-frame instructions stands.
struct InstructionRun {
  VRDDwarfCursor cursor;
  std::uint64_t location;
  const VRDDwarfCIERecord* cie;
  VRDDwarfRegisterRules* rules;
  const VRDDwarfRegisterRules* initial;
  std::uint64_t pcBegin;
  std::uint64_t pcOffset;
  std::uint32_t rememberedCount;
};

enum class RunEnd { Done, Failed, NeedsRoom };

// Runs the instructions on from `run`. Without room for remembered rows (`remembered` null) it stops before the
// first DW_CFA_remember_state: most FDEs have none, and the rows' 2.4 KiB would be another page of the crash
// handler's stack, touched for the first time.
__attribute__((always_inline)) inline RunEnd runInstructions(InstructionRun* run,
                                                              VRDDwarfRegisterRules* remembered) noexcept {
  VRDDwarfCursor cursor = run->cursor;
  std::uint64_t location = run->location;
  const VRDDwarfCIERecord* const cie = run->cie;
  VRDDwarfRegisterRules* const rules = run->rules;
  const VRDDwarfRegisterRules* const initial = run->initial;
  const std::uint64_t pcBegin = run->pcBegin;
  const std::uint64_t pcOffset = run->pcOffset;
  std::uint32_t& rememberedCount = run->rememberedCount;
  const std::int64_t dataAlignment = cie->dataAlignment;
  // A row applies while its location is at or below the PC offset; the first advance past it ends the run.
  auto advance = [&](std::uint64_t delta) {
    location += delta * cie->codeAlignment;
    return location <= pcOffset;
  };
  while (cursor.address < cursor.end) {
    std::uint8_t op = 0;
    if (!readValue(&cursor, &op)) return RunEnd::Failed;
    const std::uint8_t high = op & 0xC0;
    const std::uint8_t low = op & 0x3F;
    std::uint64_t number = 0;
    std::uint64_t operand = 0;
    std::int64_t signedOperand = 0;
    bool ok = true;
    if (high == 0x40) {
      if (!advance(low)) return RunEnd::Done;
      continue;
    }
    if (high == 0x80) {
      if (!validRegister(low)) VRDLogWarn("Error: Found an invalid DW_CFA_offset register number\n");
      ok = validRegister(low) && readULEB128(&cursor, &operand);
      if (ok) setRule(rules, low, {VRDDwarfRuleAtCFAOffset, operand * static_cast<std::uint64_t>(dataAlignment)});
    } else if (high == 0xC0) {
      ok = validRegister(low) && initial != nullptr;
      if (ok) setRule(rules, low, VRDDwarfRuleForRegister(initial, low));
    } else {
      const VRDDwarfCursor operands = cursor;
      switch (op) {
        case 0x00: break;  // nop
        case 0x01: {       // set_loc
          const std::uint64_t address = VRDParseAddressWithEncodingAndAdvance(&cursor, cie->fdeEncoding);
          if (address == kFailed || address < pcBegin) return RunEnd::Failed;
          location = address - pcBegin;
          if (location > pcOffset) return RunEnd::Done;
          break;
        }
        case 0x02: {
          std::uint8_t delta = 0;
          if (!readValue(&cursor, &delta)) return RunEnd::Failed;
          if (!advance(delta)) return RunEnd::Done;
          break;
        }
        case 0x03: {
          std::uint16_t delta = 0;
          if (!readValue(&cursor, &delta)) return RunEnd::Failed;
          if (!advance(delta)) return RunEnd::Done;
          break;
        }
        case 0x04: {
          std::uint32_t delta = 0;
          if (!readValue(&cursor, &delta)) return RunEnd::Failed;
          if (!advance(delta)) return RunEnd::Done;
          break;
        }
        case 0x05:  // offset_extended
          ok = readRegister(&cursor, &number) && readULEB128(&cursor, &operand);
          if (ok) setRule(rules, number, {VRDDwarfRuleAtCFAOffset, operand * static_cast<std::uint64_t>(dataAlignment)});
          break;
        case 0x06:  // restore_extended
          ok = readRegister(&cursor, &number) && initial != nullptr;
          if (ok) setRule(rules, number, VRDDwarfRuleForRegister(initial, number));
          break;
        case 0x07:  // undefined
          ok = readRegister(&cursor, &number);
          if (ok) setRule(rules, number, {VRDDwarfRuleUndefined, 0});
          break;
        case 0x08:  // same_value
          ok = readRegister(&cursor, &number);
          if (ok) setRule(rules, number, {VRDDwarfRuleUnchanged, 0});
          if (invalidRegisterRead(operands, cursor, number)) {
            VRDLogWarn("Error: Found an invalid DW_CFA_same_value register number\n");
          }
          break;
        case 0x09: {  // register
          ok = readRegister(&cursor, &number);
          if (!ok) {
            if (invalidRegisterRead(operands, cursor, number)) VRDLogWarn("Error: Found an invalid DW_CFA_register number\n");
            break;
          }
          const VRDDwarfCursor second = cursor;
          ok = readRegister(&cursor, &operand);
          if (ok) setRule(rules, number, {VRDDwarfRuleInRegister, operand});
          if (invalidRegisterRead(second, cursor, operand)) VRDLogWarn("Error: Found an invalid DW_CFA_register value\n");
          break;
        }
        case 0x0a:  // remember_state
          if (remembered == nullptr) {
            cursor.address -= 1;  // taken again by the run that has room for the rows
            run->cursor = cursor;
            run->location = location;
            return RunEnd::NeedsRoom;
          }
          ok = rememberedCount < VRDDwarfRememberDepth;
          if (ok) VRDDwarfCopyRules(&remembered[rememberedCount++], rules);
          break;
        case 0x0b:  // restore_state
          ok = rememberedCount > 0;
          if (ok) VRDDwarfCopyRules(rules, &remembered[--rememberedCount]);
          break;
        case 0x0c:  // def_cfa
          ok = readRegister(&cursor, &number) && readULEB128(&cursor, &operand);
          if (ok) {
            rules->cfaRegister = number;
            rules->cfaOffset = static_cast<std::int64_t>(operand);
          } else if (invalidRegisterRead(operands, cursor, number)) {
            VRDLogWarn("Error: Found an invalid DW_CFA_def_cfa register number\n");
          }
          break;
        case 0x0d:  // def_cfa_register
          ok = readRegister(&cursor, &number);
          if (ok) rules->cfaRegister = number;
          if (invalidRegisterRead(operands, cursor, number)) {
            VRDLogWarn("Error: Found an invalid DW_CFA_def_cfa_register register number\n");
          }
          break;
        case 0x0e:  // def_cfa_offset
          ok = readULEB128(&cursor, &operand);
          if (ok) rules->cfaOffset = static_cast<std::int64_t>(operand);
          break;
        case 0x0f:  // def_cfa_expression
          ok = skipBlock(&cursor, &operand);
          if (ok) {
            rules->cfaRegister = VRDDwarfCFAExpressionRegister;
            rules->cfaExpression = operand;
          }
          break;
        case 0x10:  // expression
        case 0x16:  // val_expression
          ok = readRegister(&cursor, &number) && skipBlock(&cursor, &operand);
          if (ok) setRule(rules, number, {op == 0x10 ? VRDDwarfRuleAtExpression : VRDDwarfRuleValueExpression, operand});
          if (!ok && invalidRegisterRead(operands, cursor, number)) {
            if (op == 0x10) {
              VRDLogWarn("Error: Found an invalid DW_CFA_expression register number\n");
            } else {
              VRDLogWarn("Error: Found an invalid DW_CFA_val_expression register number\n");
            }
          }
          break;
        case 0x11:  // offset_extended_sf
          ok = readRegister(&cursor, &number) && VRDDwarfReadSLEB128(&cursor, &signedOperand);
          if (ok) setRule(rules, number, {VRDDwarfRuleAtCFAOffset, static_cast<std::uint64_t>(signedOperand * dataAlignment)});
          break;
        case 0x12:  // def_cfa_sf
          ok = readRegister(&cursor, &number) && VRDDwarfReadSLEB128(&cursor, &signedOperand);
          if (ok) {
            rules->cfaRegister = number;
            rules->cfaOffset = signedOperand * dataAlignment;
          }
          break;
        case 0x13:  // def_cfa_offset_sf
          ok = VRDDwarfReadSLEB128(&cursor, &signedOperand);
          if (ok) rules->cfaOffset = signedOperand * dataAlignment;
          break;
        case 0x2e:  // GNU_args_size: the callee pops no arguments on x86-64 unwinding; read and ignore
          ok = readULEB128(&cursor, &operand);
          break;
        case 0x14:
        case 0x15:
        case 0x2d:
        case 0x2f:
          VRDLogWarn("Error: Unimplemented DWARF instruction 0x%x\n", op);
          return RunEnd::Failed;
        default:
          VRDLogWarn("Error: Unrecognized DWARF instruction 0x%x\n", op);
          ok = false;
          break;
      }
    }
    if (!ok) {
      VRDLogWarn("Error: Failed to execute dwarf instruction 0x%x\n", op);
      return RunEnd::Failed;
    }
  }
  return RunEnd::Done;
}

// The instructions of the usual prologues and epilogues with one-byte operands (advances, def_cfa,
// def_cfa_register, def_cfa_offset, offset, nop), read straight from a record proved readable. True when a row
// starts past the PC (the run is over); false at the first instruction it leaves to the interpreter, which
// takes every instruction alike, with the cursor on it.
__attribute__((always_inline)) inline bool runUsualInstructions(InstructionRun* run) noexcept {
  VRDDwarfCursor& cursor = run->cursor;
  if (cursor.proved <= cursor.address) return false;
  const std::uint64_t end = cursor.proved < cursor.end ? cursor.proved : cursor.end;
  const std::uint64_t codeAlignment = run->cie->codeAlignment;
  const auto dataAlignment = static_cast<std::uint64_t>(run->cie->dataAlignment);
  VRDDwarfRegisterRules* const rules = run->rules;
  std::uint64_t at = cursor.address;
  std::uint64_t location = run->location;
  bool over = false;
  while (at < end) {
    std::uint8_t op = 0;
    VRDReadablePagesCopy(at, &op, 1);
    if ((op & 0xC0) == 0x40) {
      location += (op & 0x3Fu) * codeAlignment;
      ++at;
      if (location > run->pcOffset) {
        over = true;
        break;
      }
      continue;
    }
    if (op == 0x00) {
      ++at;
      continue;
    }
    // One operand byte, or two for def_cfa, each below 0x80 (a one-byte LEB128).
    const std::uint64_t operands = op == 0x0c ? 2 : 1;
    if (end - at <= operands || ((op & 0xC0) != 0x80 && op != 0x0c && op != 0x0d && op != 0x0e)) break;
    std::uint8_t first = 0;
    std::uint8_t second = 0;
    VRDReadablePagesCopy(at + 1, &first, 1);
    if (operands == 2) VRDReadablePagesCopy(at + 2, &second, 1);
    if (((first | second) & 0x80) != 0) break;
    if ((op & 0xC0) == 0x80) {
      if (!validRegister(op & 0x3Fu)) break;
      setRule(rules, op & 0x3Fu, {VRDDwarfRuleAtCFAOffset, first * dataAlignment});
    } else if (op == 0x0e) {
      rules->cfaOffset = first;
    } else {
      if (!validRegister(first)) break;
      rules->cfaRegister = first;
      if (op == 0x0c) rules->cfaOffset = second;
    }
    at += 1 + operands;
  }
  cursor.address = at;
  run->location = location;
  return over;
}

__attribute__((noinline)) RunEnd runRemembering(InstructionRun* run) noexcept {
  VRDDwarfRegisterRules remembered[VRDDwarfRememberDepth];
  return runInstructions(run, remembered);
}

}  // namespace

namespace {

__attribute__((always_inline)) inline bool enumerate(std::uint64_t start, std::uint64_t end, const VRDDwarfCIERecord* cie,
                                                     VRDDwarfRegisterRules* rules, const VRDDwarfRegisterRules* initial,
                                                     std::uint64_t pcBegin, std::uint64_t pcOffset,
                                                     VRDReadablePages* pages, bool usual) noexcept {
  if (cie == nullptr || rules == nullptr || start > end) {
    VRDLogWarn("Error: inputs invalid\n");
    return false;
  }
  InstructionRun run{{start, end, pages}, 0, cie, rules, initial, pcBegin, pcOffset, 0};
  proveRest(&run.cursor);
  if (usual && runUsualInstructions(&run)) return true;
  RunEnd result = runInstructions(&run, nullptr);
  if (result == RunEnd::NeedsRoom) result = runRemembering(&run);
  return result == RunEnd::Done;
}

}  // namespace

bool VRDDwarfInstructionsEnumerate(std::uint64_t start, std::uint64_t end, const VRDDwarfCIERecord* cie,
                                   VRDDwarfRegisterRules* rules, const VRDDwarfRegisterRules* initial,
                                   std::uint64_t pcBegin, std::uint64_t pcOffset, VRDReadablePages* pages) noexcept {
  return enumerate(start, end, cie, rules, initial, pcBegin, pcOffset, pages, true);
}

bool VRDDwarfInstructionsInterpret(std::uint64_t start, std::uint64_t end, const VRDDwarfCIERecord* cie,
                                   VRDDwarfRegisterRules* rules, const VRDDwarfRegisterRules* initial,
                                   std::uint64_t pcBegin, std::uint64_t pcOffset, VRDReadablePages* pages) noexcept {
  return enumerate(start, end, cie, rules, initial, pcBegin, pcOffset, pages, false);
}

bool VRDDwarfEvalulateExpression(std::uint64_t expression, const VRDThreadState* state, std::uint64_t initial,
                                 std::uint64_t* result, VRDReadablePages* pages) noexcept {
  if (expression < VRDMinimumValidAddress || result == nullptr || state == nullptr) {
    VRDLogWarn("Error: inputs invalid\n");
    return false;
  }
  ExpressionMachine machine;
  machine.depth = 0;
  machine.invalid = false;
  if (!machine.push(initial)) {
    VRDLogWarn("Error: unable to init DWARF expression machine\n");
    return false;
  }
  VRDDwarfCursor cursor{expression, ~std::uint64_t{0}, pages};
  std::uint64_t length = 0;
  const bool lengthRead = VRDDwarfReadULEB128(&cursor, &length);
  if (lengthRead && length == 0) VRDLogWarn("Error: DWARF expression length is zero\n");
  if (!lengthRead || length == 0 || cursor.address + length < cursor.address) {
    VRDLogWarn("Error: unable to prepare for execution\n");
    return false;
  }
  cursor.end = cursor.address + length;
  while (cursor.address < cursor.end) {
    if (!executeOpcode(&machine, &cursor, state)) {
      if (machine.invalid) {
        VRDLogWarn("Error: DWARF machine stack invalid\n");
      } else if (cursor.address >= cursor.end) {
        // An operand would have run past the expression's end.
        VRDLogWarn("Error: DWARF machine pointers invalid\n");
      }
      VRDLogWarn("Error: failed to execute DWARF machine opcode\n");
      return false;
    }
  }
  if (cursor.address != cursor.end || machine.depth == 0) {
    if (cursor.address != cursor.end) VRDLogWarn("Error: DWARF expression hasn't completed execution\n");
    VRDLogWarn("Error: failed to get DWARF expression result\n");
    return false;
  }
  *result = machine.stack[machine.depth - 1];
  return true;
}

std::uint64_t VRDDwarfUnwindGetRegisterValue(const VRDThreadState* state, std::uint64_t number) noexcept {
  if (!validRegister(number) || state == nullptr) {
    VRDLogWarn("Error: Unrecognized get register number %llu\n", static_cast<unsigned long long>(number));
    return 0;
  }
  return state->registers[kStateIndex[number]];
}

bool VRDDwarfUnwindSetRegisterValue(VRDThreadState* state, std::uint64_t number, std::uint64_t value) noexcept {
  if (!validRegister(number) || state == nullptr) {
    VRDLogWarn("Unrecognized set register number %llu\n", static_cast<unsigned long long>(number));
    return false;
  }
  state->registers[kStateIndex[number]] = value;
  return true;
}

bool VRDDwarfRulesForPC(const VRDDwarfFDERecord* fde, std::uint64_t pc, VRDDwarfRegisterRules* rules,
                        VRDReadablePages* pages) noexcept {
  VRDDwarfRegisterRules initial;
  return runInitialInstructions(&fde->cie, &initial, pages) &&
         VRDDwarfRulesForPCFromInitial(fde, &initial, pc, rules, pages);
}

bool VRDDwarfRulesForPCFromInitial(const VRDDwarfFDERecord* fde, const VRDDwarfRegisterRules* initial,
                                   std::uint64_t pc, VRDDwarfRegisterRules* rules, VRDReadablePages* pages) noexcept {
  if (pc < fde->pcBegin) {
    VRDLogWarn("Error: The FDE pcOffset value cannot be negative\n");
    return false;
  }
  VRDDwarfCopyRules(rules, initial);
  if (!VRDDwarfInstructionsEnumerate(fde->instructions, fde->instructionsEnd, &fde->cie, rules, initial, fde->pcBegin,
                                     pc - fde->pcBegin, pages)) {
    VRDLogWarn("Error: Unable to run FDE instructions\n");
    return false;
  }
  return true;
}

VRDDwarfStep VRDDwarfUnwindComputeRegisters(const VRDDwarfFDERecord* fde, std::uint64_t pc, VRDThreadState* state,
                                            VRDReadablePages* pages) noexcept {
  if (fde == nullptr || state == nullptr) {
    VRDLogError("Error: input invalid\n");
    return VRDDwarfStep::Failed;
  }
  if (fde->cie.returnAddressRegister != VRDDwarfReturnAddressRegister) return VRDDwarfStep::Failed;
  VRDDwarfRegisterRules rules;
  if (!VRDDwarfRulesForPC(fde, pc, &rules, pages)) return VRDDwarfStep::Failed;
  return VRDDwarfUnwindApplyRules(&rules, state, pages);
}

VRDDwarfStep VRDDwarfUnwindApplyRules(const VRDDwarfRegisterRules* ruleSet, VRDThreadState* state,
                                      VRDReadablePages* pages) noexcept {
  if (ruleSet == nullptr || state == nullptr) {
    VRDLogError("Error: input invalid\n");
    return VRDDwarfStep::Failed;
  }
  const VRDDwarfRegisterRules& rules = *ruleSet;
  std::uint64_t cfa = 0;
  if (rules.cfaRegister == VRDDwarfCFAExpressionRegister) {
    if (!VRDDwarfEvalulateExpression(rules.cfaExpression, state, 0, &cfa, pages)) {
      VRDLogWarn("Error: failed to compute CFA expression\n");
      return VRDDwarfStep::Failed;
    }
  } else if (rules.cfaRegister == 0 && rules.cfaOffset == 0) {
    VRDLogWarn("Error: failed to get CFA\n");  // no CFA rule at all
    return VRDDwarfStep::Failed;
  } else {
    cfa = registerValue(state, rules.cfaRegister) + static_cast<std::uint64_t>(rules.cfaOffset);
  }
  if (VRDDwarfRuleForRegister(&rules, VRDDwarfReturnAddressRegister).kind == VRDDwarfRuleUndefined) {
    return VRDDwarfStep::EndOfStack;
  }
  if (cfa == VRDThreadContextGetStackPointer(state)) {
    VRDLogWarn("Error: Stack pointer hasn't changed\n");
    VRDLogError("Error: Unable to assign DWARF registers\n");
    return VRDDwarfStep::Failed;
  }
  if (cfa < VRDMinimumValidAddress) {
    VRDLogWarn("Error: Unable to restore SP value\n");
    VRDLogError("Error: Unable to assign DWARF registers\n");
    return VRDDwarfStep::Failed;
  }
  // Every rule reads the callee's registers, so the caller's are collected apart (in the recorded order, which
  // holds the DWARF registers in its first slots) and set at the end.
  static_assert(VRDGeneralRegisterCount >= VRDDwarfRegisterCount);
  // Only the registers that have a rule (a frame saves a few), set when all are known.
  std::uint64_t values[VRDDwarfRegisterCount];
  std::uint32_t restored = 0;
  for (std::uint32_t ruled = rules.ruled & ((std::uint32_t{1} << VRDDwarfRegisterCount) - 1); ruled != 0;
       ruled &= ruled - 1) {
    const auto number = static_cast<std::uint64_t>(__builtin_ctz(ruled));
    const VRDDwarfRule& rule = rules.registers[number];
    if (rule.kind == VRDDwarfRuleUnchanged || rule.kind == VRDDwarfRuleUndefined) continue;
    if (!savedRegister(rule, cfa, state, pages, &values[number])) {
      // A register that cannot be restored is unknown to the caller; the return address must be known.
      if (number == VRDDwarfReturnAddressRegister) {
        VRDLogWarn("Error: Unable to restore register value\n");
        VRDLogError("Error: Unable to assign DWARF registers\n");
        return VRDDwarfStep::Failed;
      }
      values[number] = 0;
    }
    restored |= std::uint32_t{1} << number;
  }
  for (; restored != 0; restored &= restored - 1) {
    const int number = __builtin_ctz(restored);
    state->registers[kStateIndex[number]] = values[number];
  }
  // The same PC again is a recursion, not a stuck walk: only a stack pointer that stays put is.
  state->registers[kStateIndex[7]] = cfa;
  return VRDDwarfStep::Unwound;
}

}  // namespace crashreporting
