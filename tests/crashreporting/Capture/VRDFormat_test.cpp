#include <climits>
#include <cstdint>
#include <string>

#include "crashreporting/Capture/VRDFormat.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

template <class... Args>
std::string format(const char* text, Args... args) {
  char out[256];
  VRDFormat(out, sizeof out, text, args...);
  return out;
}

TEST(InternalFormatter, WritesTheConversionsTheLoggerUses) {
  EXPECT_EQ(format("%p", reinterpret_cast<void*>(4096)), "0x1000");
  const char* volatile none = nullptr;  // hidden from the compiler's format check
  EXPECT_EQ(format("%s", none), "(null)");
  EXPECT_EQ(format("%d|%u|%x", -5, 4000000000u, 0xbeefu), "-5|4000000000|beef");
  EXPECT_EQ(format("%d", INT_MIN), "-2147483648");
  EXPECT_EQ(format("plain text"), "plain text");
}

TEST(InternalFormatter, SupportsLengthModifiersWidthZeroPaddingCharactersAndPercent) {
  EXPECT_EQ(format("%zu %zd", static_cast<std::size_t>(1) << 40, static_cast<ssize_t>(-7)), "1099511627776 -7");
  EXPECT_EQ(format("%llx %lu %ld", 0xdeadbeefcafeULL, 123456789012UL, -123456789012L), "deadbeefcafe 123456789012 -123456789012");
  EXPECT_EQ(format("%hd %hu %hhu", 70000, 70000u, 300u), "4464 4464 44");
  EXPECT_EQ(format("[%5d] [%05d] [%-3] [%08x] [%3s]", 42, -42, 0xabcu, "ab"), "[   42] [-0042] [%-3] [00000abc] [ ab]");
  EXPECT_EQ(format("%c%c %i %% %q", 'o', 'k', -3), "ok -3 % %q");
  EXPECT_EQ(format("%018p", reinterpret_cast<void*>(0x1000)), "0x0000000000001000");
  EXPECT_EQ(format("trailing %"), "trailing %");
}

TEST(InternalFormatter, CutsAtTheBufferAndReportsTheFullLength) {
  char out[8];
  EXPECT_EQ(VRDFormat(out, sizeof out, "%s", "0123456789"), 10u);
  EXPECT_STREQ(out, "0123456");
}

class InternalLog : public ContextTest {};

TEST_F(InternalLog, WritesLinesWithTheLevelPrefixAndHonoursTheMinimumLevel) {
  ASSERT_TRUE(VRDContextInitialize(&data_));
  const auto log = temp_.path() / "sdk.log";
  VRDLogInfo("value %d of %s\n", 7, "seven");
  VRDContextWritable()->minimumLogLevel = VRDLogLevelWarn;
  VRDLogInfo("dropped\n");
  VRDLogError("kept %zu\n", static_cast<std::size_t>(3));
  VRDContextWritable()->minimumLogLevel = VRDLogLevelDebug;
  const std::string text = readText(log);
  EXPECT_NE(text.find("INFO  [TestBody:"), std::string::npos) << text;
  EXPECT_NE(text.find("] value 7 of seven\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("dropped"), std::string::npos);
  EXPECT_NE(text.find("ERROR [TestBody:"), std::string::npos);
  EXPECT_NE(text.find("] kept 3\n"), std::string::npos);
  EXPECT_NE(text.find("WARN  [VRDContextInitialize:"), std::string::npos) << "the debugger warning";
}

TEST(InternalLogWithoutContext, WritesNothingAndDoesNotFail) {
  VRDLogError("nowhere %d\n", 1);
  SUCCEED();
}

}  // namespace
}  // namespace crashreporting::test
