#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "UnwindFrames.h"
#include "crashreporting/Capture/VRDDwarf.h"
#include "crashreporting/Capture/VRDUnwind.h"
#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/TestSeed.h"

namespace crashreporting::test {
namespace {

// 100,000 random and mutated call-frame records, expressions and stacks go through the parser, the rules, the
// expression machine and the whole unwinder: each must end, without a fault (the sanitizer tree checks every
// access) and within its bounds.
bool sameRecord(const VRDDwarfFDERecord& a, const VRDDwarfFDERecord& b) {
  return a.length == b.length && a.pcBegin == b.pcBegin && a.pcRange == b.pcRange &&
         a.instructions == b.instructions && a.instructionsEnd == b.instructionsEnd &&
         a.cie.instructions == b.cie.instructions && a.cie.instructionsEnd == b.cie.instructionsEnd &&
         a.cie.codeAlignment == b.cie.codeAlignment && a.cie.dataAlignment == b.cie.dataAlignment &&
         a.cie.fdeEncoding == b.cie.fdeEncoding && a.cie.signalFrame == b.cie.signalFrame &&
         a.cie.returnAddressRegister == b.cie.returnAddressRegister;
}

bool sameRules(const VRDDwarfRegisterRules& a, const VRDDwarfRegisterRules& b) {
  if (a.cfaRegister != b.cfaRegister || a.cfaOffset != b.cfaOffset || a.cfaExpression != b.cfaExpression) return false;
  for (std::uint64_t i = 0; i < VRDDwarfRegisterCount; ++i) {
    const VRDDwarfRule ruleA = VRDDwarfRuleForRegister(&a, i);
    const VRDDwarfRule ruleB = VRDDwarfRuleForRegister(&b, i);
    if (ruleA.kind != ruleB.kind || ruleA.value != ruleB.value) return false;
  }
  return true;
}

// The records' page, between two unreadable ones and far from everything else the test holds. Whatever a
// broken length or pointer makes a parse read is either a byte of this page, the same for every parse of the
// round, or unreadable: on the test's stack a record running past its buffer read the test's own variables,
// which the first parse writes (its page proofs, its results) before the second reads them. At a fixed
// address where that is free, so a seed gives the same records, pc-relative pointers included, in every run.
class RecordsPage {
 public:
  static constexpr std::size_t kSize = 512;
  RecordsPage() {
    void* wanted = reinterpret_cast<void*>(std::uintptr_t{0x3f5a00000000});
    mapping_ = mmap(wanted, 3 * kPage, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (mapping_ == MAP_FAILED) mapping_ = mmap(nullptr, 3 * kPage, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED) return;
    mprotect(static_cast<char*>(mapping_) + kPage, kPage, PROT_READ | PROT_WRITE);
  }
  ~RecordsPage() {
    if (mapping_ != MAP_FAILED) munmap(mapping_, 3 * kPage);
  }
  RecordsPage(const RecordsPage&) = delete;
  RecordsPage& operator=(const RecordsPage&) = delete;
  bool mapped() const { return mapping_ != MAP_FAILED; }
  /// The last kSize bytes of the readable page: reading on past them faults at once.
  std::uint8_t* bytes() const { return static_cast<std::uint8_t*>(mapping_) + 2 * kPage - kSize; }

 private:
  static constexpr std::size_t kPage = 4096;
  void* mapping_ = MAP_FAILED;
};

class DwarfFuzz : public ContextTest {
 protected:
  void SetUp() override { ASSERT_TRUE(VRDContextInitialize(&data_)); }

  // A valid "zR" CIE and FDE with a prologue and an expression rule, to mutate.
  std::vector<std::uint8_t> seedRecords(std::uint64_t base) {
    std::vector<std::uint8_t> b = {20, 0, 0, 0, 0, 0, 0, 0, 1, 'z', 'R', 0, 1, 0x78, 16, 1, 0x1b,
                                   0x0c, 7, 8, 0x90, 1, 0, 0};
    const std::uint8_t fde[] = {32, 0, 0, 0, 28, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0,
                                0x41, 0x0e, 16, 0x86, 2, 0x0a, 0x43, 0x10, 3, 3, 0x77, 8, 0x06, 0x0b, 0x2e, 8, 0};
    b.insert(b.end(), std::begin(fde), std::end(fde));
    const auto pc = static_cast<std::int32_t>(base + 0x1000 - (base + 32));
    std::memcpy(&b[32], &pc, 4);
    return b;
  }
};

TEST_F(DwarfFuzz, HundredThousandRandomAndMutatedInputsEndWithoutAFault) {
  const std::uint64_t seed = testSeed(29);
  SCOPED_TRACE(seedNote(seed));
  std::mt19937_64 random(seed);
  const RecordsPage page;
  ASSERT_TRUE(page.mapped());
  std::uint8_t* const records = page.bytes();
  alignas(16) std::uint64_t stack[64];
  const std::uint64_t code = reinterpret_cast<std::uint64_t>(&unwindFramesFiveDeep);
  VRDReadablePages pages;
  auto cache = std::make_unique<VRDUnwindCache>();
  VRDDwarfCIECache cies;
  int parsed = 0;
  int unwound = 0;
  for (int round = 0; round < 100000; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    VRDReadablePagesReset(&pages);
    VRDUnwindCacheReset(cache.get());  // the records change every round
    VRDDwarfCIECacheReset(&cies);
    const auto base = reinterpret_cast<std::uint64_t>(records);
    const auto valid = seedRecords(base);
    if (round % 2 == 0) {
      std::memcpy(records, valid.data(), valid.size());
      for (std::size_t i = valid.size(); i < RecordsPage::kSize; ++i) records[i] = static_cast<std::uint8_t>(random());
      const int flips = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < flips; ++i) records[random() % valid.size()] = static_cast<std::uint8_t>(random());
    } else {
      for (std::size_t i = 0; i < RecordsPage::kSize; ++i) records[i] = static_cast<std::uint8_t>(random());
    }
    for (auto& word : stack) {
      const auto kind = random() % 4;
      word = kind == 0 ? code + random() % 256 : kind == 1 ? reinterpret_cast<std::uint64_t>(&stack[random() % 64]) : random();
    }
    VRDThreadState state{};
    for (auto& r : state.registers) r = random() % 2 ? reinterpret_cast<std::uint64_t>(&stack[random() % 64]) : random();

    VRDDwarfFDERecord fde;
    const std::size_t offset = round % 2 == 0 ? 24 : random() % 64;
    const bool parsedPlain = VRDDwarfParseFDERecord(&fde, base + offset, &pages);
    if (round % 4 == 0) {
      // Without proofs every field is read through the general decoding: the short roads for proved records
      // come to the same record.
      VRDDwarfFDERecord unproved;
      ASSERT_EQ(VRDDwarfParseFDERecord(&unproved, base + offset, nullptr), parsedPlain);
      if (parsedPlain) {
        ASSERT_TRUE(sameRecord(unproved, fde));
      }
    }
    // With the CIE kept (its initial instructions run at once): the same record, and the same rules.
    VRDDwarfFDERecord keptFDE;
    const VRDDwarfRegisterRules* initial = nullptr;
    const bool parsedKept = VRDDwarfParseFDERecordCachingCIE(&keptFDE, base + offset, &cies, &initial, &pages);
    if (parsedKept) {
      ASSERT_TRUE(parsedPlain);
    }
    if (parsedPlain) {
      ++parsed;
      const std::uint64_t pc = fde.pcBegin + (fde.pcRange == 0 ? 0 : random() % fde.pcRange);
      VRDDwarfRegisterRules plainRules;
      VRDDwarfRegisterRules keptRules;
      const bool plainOk = VRDDwarfRulesForPC(&fde, pc, &plainRules, &pages);
      if (!parsedKept) {
        ASSERT_FALSE(plainOk) << "only a CIE whose instructions fail is refused when kept";
      } else {
        ASSERT_TRUE(sameRecord(keptFDE, fde));
        ASSERT_EQ(VRDDwarfRulesForPCFromInitial(&keptFDE, initial, pc, &keptRules, &pages), plainOk);
        if (plainOk) {
          ASSERT_TRUE(sameRules(plainRules, keptRules));
        }
      }
      VRDThreadState copy = state;
      if (VRDDwarfUnwindComputeRegisters(&fde, pc, &copy, &pages) == VRDDwarfStep::Unwound) ++unwound;
    }
    std::uint64_t result = 0;
    VRDDwarfEvalulateExpression(base + random() % 256, &state, random(), &result, &pages);

    // The whole unwinder on a random stack that starts in real code without frame pointers.
    state.registers[VRDRegisterRIP] = code + random() % 64;
    state.registers[VRDRegisterRSP] = reinterpret_cast<std::uint64_t>(&stack[random() % 32]);
    VRDUnwindContext unwind;
    ASSERT_TRUE(VRDUnwindInit(&unwind, &state, round % 4 == 0 ? nullptr : cache.get()));
    for (int frames = 0; frames < 64 && VRDUnwindNextFrame(&unwind); ++frames) {
    }
  }
  // The mutations must reach the rules, not stop at the parser.
  EXPECT_GT(parsed, 10000);
  EXPECT_GT(unwound, 1000);
}

// Generated prologue and epilogue programs, with now and then an instruction or operand the short road for
// the usual ones leaves to the interpreter: both roads come to the same rules, or both refuse the program.
TEST_F(DwarfFuzz, TheUsualInstructionsShortRoadComesToTheInterpretersRules) {
  const std::uint64_t seed = testSeed(31);
  SCOPED_TRACE(seedNote(seed));
  std::mt19937_64 random(seed);
  const RecordsPage page;
  ASSERT_TRUE(page.mapped());
  std::uint8_t* const program = page.bytes();
  const auto base = reinterpret_cast<std::uint64_t>(program);
  VRDReadablePages pages;
  VRDReadablePagesReset(&pages);
  const auto pick = [&](std::uint64_t below) { return static_cast<int>(random() % below); };
  int agreed = 0;
  for (int round = 0; round < 20000; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<std::uint8_t> bytes;
    const auto leb = [&](int value) {  // one byte, now and then two
      if (pick(8) == 0) {
        bytes.push_back(static_cast<std::uint8_t>(0x80 | (value & 0x7f)));
        bytes.push_back(static_cast<std::uint8_t>(pick(3)));
      } else {
        bytes.push_back(static_cast<std::uint8_t>(value & 0x7f));
      }
    };
    const int count = pick(24);
    for (int i = 0; i < count; ++i) {
      switch (pick(12)) {
        case 0:
        case 1: bytes.push_back(static_cast<std::uint8_t>(0x40 | pick(64))); break;
        case 2:
        case 3:
          bytes.push_back(static_cast<std::uint8_t>(0x80 | pick(19)));  // 17 and 18 are no registers
          leb(pick(128));
          break;
        case 4:
        case 5:
          bytes.push_back(0x0e);
          leb(pick(128));
          break;
        case 6:
          bytes.push_back(0x0d);
          leb(pick(19));
          break;
        case 7:
          bytes.push_back(0x0c);
          leb(pick(19));
          leb(pick(128));
          break;
        case 8: bytes.push_back(static_cast<std::uint8_t>(pick(2) == 0 ? 0x00 : 0x02)); break;
        case 9: bytes.push_back(static_cast<std::uint8_t>(pick(2) == 0 ? 0x0a : 0x0b)); break;
        case 10: bytes.push_back(static_cast<std::uint8_t>(0xC0 | pick(19))); break;
        default: bytes.push_back(static_cast<std::uint8_t>(random())); break;
      }
    }
    if (!bytes.empty() && pick(8) == 0) bytes.pop_back();  // an operand cut off at the record's end
    ASSERT_LE(bytes.size(), RecordsPage::kSize);
    const std::uint64_t start = base + RecordsPage::kSize - bytes.size();
    if (!bytes.empty()) std::memcpy(reinterpret_cast<void*>(start), bytes.data(), bytes.size());

    VRDDwarfCIERecord cie{};
    cie.codeAlignment = pick(2) == 0 ? 1 : 4;
    cie.dataAlignment = pick(3) == 0 ? 8 : pick(2) == 0 ? -8 : -4;
    cie.fdeEncoding = 0x1b;
    cie.returnAddressRegister = VRDDwarfReturnAddressRegister;
    VRDDwarfRegisterRules initial{};
    initial.cfaRegister = 7;
    initial.cfaOffset = 8;
    initial.ruled = 1u << VRDDwarfReturnAddressRegister;
    initial.registers[VRDDwarfReturnAddressRegister] = {VRDDwarfRuleAtCFAOffset, static_cast<std::uint64_t>(-8)};
    const std::uint64_t pcOffset = static_cast<std::uint64_t>(pick(400));
    VRDDwarfRegisterRules usual;
    VRDDwarfRegisterRules interpreted;
    VRDDwarfCopyRules(&usual, &initial);
    VRDDwarfCopyRules(&interpreted, &initial);
    const std::uint64_t end = start + bytes.size();
    const bool usualOk = VRDDwarfInstructionsEnumerate(start, end, &cie, &usual, &initial, 0, pcOffset, &pages);
    const bool interpretedOk =
        VRDDwarfInstructionsInterpret(start, end, &cie, &interpreted, &initial, 0, pcOffset, &pages);
    ASSERT_EQ(usualOk, interpretedOk);
    if (usualOk) {
      ASSERT_TRUE(sameRules(usual, interpreted));
      ++agreed;
    }
  }
  EXPECT_GT(agreed, 5000) << "most programs must run to their rules";
}

}  // namespace
}  // namespace crashreporting::test
