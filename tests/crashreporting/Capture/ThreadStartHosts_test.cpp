#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "crashreporting/support/ChildProcess.h"
#include "support/TestEnvironment.h"

namespace crashreporting::test {
namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t found = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

constexpr const char* kCoverageLine = "Threads started by libc itself (timers, asynchronous I/O, name lookups) or by "
                                      "raw clone have no alternate signal stack; a crash records at most 512 threads";
constexpr const char* kHostsOwnLine = "pthread_create is the host's own";

// Each host starts two threads before the capture starts and two after it (std::thread and pthread_create).
TEST(ThreadStartHosts, StaticAndSelfHookingHostsStartThreadsBeforeAndAfterTheCaptureAndTheStartSaysWhatIsLeftOut) {
  // Linked statically: libc.a offers no next pthread_create to look up, so the library's falls back to libc's
  // own; the later threads get their alternate stacks.
  const tilvane::test::ScopedTempDir staticDir;
  const FinishedChild staticHost = runChild(CRASHREPORTING_STATICHOST, {staticDir.path().string()});
  EXPECT_TRUE(staticHost.exitedWith(0)) << staticHost.status;
  EXPECT_EQ(staticHost.output, "before=2 after=2 after-altstack=2\n");
  const std::string staticLog = readFile(staticDir.path() / "sdk.log");
  EXPECT_EQ(count(staticLog, kCoverageLine), 1u) << staticLog;
  EXPECT_EQ(count(staticLog, kHostsOwnLine), 0u) << staticLog;

  // A host with its own pthread_create links, and its function wins: its threads run without stacks of ours,
  // which the start logs.
  const tilvane::test::ScopedTempDir ownDir;
  const FinishedChild ownHost = runChild(CRASHREPORTING_OWNPTHREADHOST, {ownDir.path().string()});
  EXPECT_TRUE(ownHost.exitedWith(0)) << ownHost.status;
  EXPECT_EQ(ownHost.output, "before=2 after=2 after-altstack=0\n");
  const std::string ownLog = readFile(ownDir.path() / "sdk.log");
  EXPECT_EQ(count(ownLog, kHostsOwnLine), 1u) << ownLog;
  EXPECT_EQ(count(ownLog, kCoverageLine), 1u) << ownLog;
}

}  // namespace
}  // namespace crashreporting::test
