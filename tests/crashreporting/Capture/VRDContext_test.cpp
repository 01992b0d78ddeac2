#include <signal.h>
#include <sys/uio.h>
#include <unistd.h>

#include "crashreporting/Capture/VRDBinaryImage.h"
#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDMetadata.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

bool canWrite(const void* address) {
  char byte = 0;
  iovec local{&byte, 1};
  iovec remote{const_cast<void*>(address), 1};
  return process_vm_writev(getpid(), &local, 1, &remote, 1, 0) == 1;
}

class CrashContext : public ContextTest {};

TEST_F(CrashContext, WithADebuggerNoHandlerIsInstalledAndTheMetadataIsStillWritten) {
  struct sigaction before {};
  sigaction(SIGSEGV, nullptr, &before);
  ASSERT_TRUE(VRDContextInitialize(&data_));
  struct sigaction after {};
  sigaction(SIGSEGV, nullptr, &after);
  EXPECT_EQ(before.sa_sigaction, after.sa_sigaction);
  EXPECT_TRUE(VRDContextIsDebuggerAttached());
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "signal.vrdrecord"));

  const auto lines = recordLines(temp_.path() / "metadata.vrdrecord");
  ASSERT_EQ(lines.size(), 4u);
  const char* sections[] = {"identity", "host", "application", "executable"};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_TRUE(lines[i].contains(sections[i])) << lines[i];
  const auto& identity = lines[0]["identity"];
  EXPECT_EQ(identity["generator"], VRDGeneratorName);
  EXPECT_EQ(identity["api_key"], "key");
  EXPECT_EQ(identity["session_id"], "session");
  EXPECT_TRUE(identity["beta_token"].is_null());
  EXPECT_EQ(identity["absolute_log_timestamps"], true);
  EXPECT_EQ(lines[1]["host"]["platform"], "mac");
  const auto& executable = lines[3]["executable"];
  VRDBinaryImageDetails self;
  ASSERT_TRUE(VRDBinaryImageMainExecutableDetails(&self));
  EXPECT_EQ(executable["base"].get<std::uint64_t>(), self.node.base);
  EXPECT_EQ(executable["uuid"], self.uuid);
}

TEST_F(CrashContext, AfterSetUpTheReadOnlyPartIsProtectedAndTheWritablePartIsNot) {
  ASSERT_TRUE(VRDContextInitialize(&data_));
  EXPECT_TRUE(VRDContextIsInitialized());
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  EXPECT_STREQ(readOnly->internalLogPath, (directory_ + "/sdk.log").c_str());
  EXPECT_STREQ(readOnly->signal.recordPath, (directory_ + "/signal.vrdrecord").c_str());
  EXPECT_FALSE(canWrite(readOnly));
  EXPECT_FALSE(canWrite(readOnly->internalLogPath));
  EXPECT_TRUE(canWrite(VRDContextWritable()));
  EXPECT_TRUE(canWrite(readOnly->signalStack));
  EXPECT_EQ(VRDContextWritable()->internalLogFd >= 0, std::filesystem::exists(temp_.path() / "sdk.log"));
}

TEST_F(CrashContext, TheCrashIsMarkedOnce) {
  EXPECT_FALSE(VRDContextMarkAndCheckIfCrashed()) << "not initialised";
  ASSERT_TRUE(VRDContextInitialize(&data_));
  EXPECT_FALSE(VRDContextMarkAndCheckIfCrashed());
  EXPECT_EQ(VRDContextWritable()->crashedThread, VRDCurrentThreadID());
  EXPECT_TRUE(VRDContextMarkAndCheckIfCrashed());
}

TEST_F(CrashContext, MissingStartDataOrDirectoryIsRefused) {
  EXPECT_FALSE(VRDContextInitialize(nullptr));
  data_.reportDirectory = nullptr;
  EXPECT_FALSE(VRDContextInitialize(&data_));
}

TEST_F(CrashContext, TheImageTableHoldsTheTestProgramAndNothingBelowIt) {
  ASSERT_TRUE(VRDContextInitialize(&data_));
  VRDBinaryImageNode node{};
  const auto code = reinterpret_cast<std::uint64_t>(&VRDContextInitialize);
  ASSERT_TRUE(VRDBinaryImageSafeFindImageForAddress(code, &node));
  EXPECT_LE(node.base, code);
  EXPECT_GT(node.base + node.size, code);
  EXPECT_FALSE(VRDBinaryImageSafeFindImageForAddress(4096, &node));
  EXPECT_FALSE(VRDBinaryImageSafeFindImageForAddress(node.base + node.size + (1ULL << 40), &node));
}

}  // namespace
}  // namespace crashreporting::test
