#include <signal.h>

#include "crashreporting/Capture/VRDMachException.h"
#include "crashreporting/Capture/VRDSignal.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

TEST(MachExceptionTables, NameExceptionsAndTheirFirstCodes) {
  EXPECT_STREQ(VRDMachExceptionName(1), "EXC_BAD_ACCESS");
  EXPECT_STREQ(VRDMachExceptionName(12), "EXC_GUARD");
  EXPECT_EQ(VRDMachExceptionName(5), nullptr);
  EXPECT_STREQ(VRDMachExceptionCodeName(1, 2), "KERN_PROTECTION_FAILURE");
  EXPECT_EQ(VRDMachExceptionCodeName(1, 3), nullptr);
  EXPECT_STREQ(VRDMachExceptionCodeName(2, 99), "EXC_I386_INVOP");
  EXPECT_STREQ(VRDMachExceptionCodeName(3, 8), "EXC_I386_SSEEXTERR");
  EXPECT_EQ(VRDMachExceptionCodeName(3, 9), nullptr);
  EXPECT_STREQ(VRDMachExceptionCodeName(6, 14), "EXC_I386_PGFLT");
  EXPECT_STREQ(VRDMachExceptionCodeName(6, 33), "EXC_I386_ENDPERR");
  EXPECT_EQ(VRDMachExceptionCodeName(6, 8), nullptr);
  EXPECT_EQ(VRDMachExceptionCodeName(6, 34), nullptr);
  EXPECT_EQ(VRDMachExceptionCodeName(6, -1), nullptr);
}

TEST(MachExceptionTables, EachTableSignalHasItsMaskBitAndName) {
  const std::map<int, std::pair<std::uint32_t, const char*>> expected = {
      {SIGILL, {0x4, "SIGILL"}},   {SIGTRAP, {0x40, "SIGTRAP"}}, {SIGABRT, {0x400, "SIGABRT"}},
      {SIGFPE, {0x8, "SIGFPE"}},   {SIGBUS, {0x2, "SIGBUS"}},    {SIGSEGV, {0x2, "SIGSEGV"}},
      {SIGSYS, {0x400, "SIGSYS"}}};
  std::vector<int> enumerated;
  VRDSignalEnumerate([&](std::size_t index, int signal) {
    EXPECT_EQ(index, enumerated.size());
    enumerated.push_back(signal);
  });
  EXPECT_EQ(enumerated, (std::vector<int>{SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS, SIGTRAP}));
  for (const auto& [signal, bitAndName] : expected) {
    EXPECT_EQ(VRDMachExceptionMaskForSignal(signal), bitAndName.first) << signal;
    EXPECT_STREQ(VRDSignalName(signal), bitAndName.second);
  }
  EXPECT_EQ(VRDMachExceptionMaskForSignal(SIGTERM), 0u);
  EXPECT_STREQ(VRDSignalName(SIGTERM), "UNKNOWN");
  EXPECT_STREQ(VRDSignalCodeName(SIGABRT), "ABORT");
  EXPECT_EQ(VRDSignalCodeName(SIGSEGV), nullptr);
}

TEST(MachExceptionRecord, WritesTheCodesAndNamesOfOneException) {
  const tilvane::test::ScopedTempDir temp;
  const std::string path = (temp.path() / "mach_exception.vrdrecord").string();
  VRDFile file;
  ASSERT_TRUE(VRDFileInitWithPath(&file, path.c_str(), false));
  const std::int64_t codes[] = {1, 0x7fff0000};
  VRDMachExceptionRecordLine(&file, 1, codes, 2, 3, 1700000000);
  VRDMachExceptionRecordLine(&file, 1, nullptr, 0, 0, 1700000001);
  ASSERT_TRUE(VRDFileClose(&file));
  const auto lines = recordLines(path);
  ASSERT_EQ(lines.size(), 2u);
  const auto& first = lines[0]["mach_exception"];
  EXPECT_EQ(first["exception"], 1);
  EXPECT_EQ(first["codes"], nlohmann::json::parse("[1,2147418112]"));
  EXPECT_EQ(first["name"], "EXC_BAD_ACCESS");
  EXPECT_EQ(first["code_name"], "KERN_INVALID_ADDRESS");
  EXPECT_EQ(first["original_ports"], 3);
  const auto& second = lines[1]["mach_exception"];
  EXPECT_EQ(second["codes"], nlohmann::json::array());
  EXPECT_TRUE(second["code_name"].is_null());
  EXPECT_EQ(second["time"], 1700000001);
}

}  // namespace
}  // namespace crashreporting::test
