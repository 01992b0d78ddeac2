#include <gtest/gtest.h>

#include <string>

#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/ChildProcess.h"
#include "support/TestEnvironment.h"

namespace crashreporting::test {
namespace {

using tilvane::test::occurrences;

constexpr const char* kCoverageLine = "Threads started by libc itself (timers, asynchronous I/O, name lookups) or by "
                                      "raw clone have no alternate signal stack; a crash records at most 512 threads";
constexpr const char* kHostsOwnLine = "pthread_create is the host's own";

struct HostRun {
  FinishedChild child;
  std::string log;  // its sdk.log
};

HostRun runHost(const char* program) {
  const tilvane::test::ScopedTempDir directory;
  FinishedChild child = runChild(program, {directory.path().string()});
  return {std::move(child), readText(directory.path() / "sdk.log")};
}

// Each host starts two threads before the capture starts and two after it (std::thread and pthread_create).
TEST(ThreadStartHosts, StaticAndSelfHookingHostsStartThreadsBeforeAndAfterTheCaptureAndTheStartSaysWhatIsLeftOut) {
  // Linked statically: libc.a offers no next pthread_create to look up, so the library's falls back to libc's
  // own; the later threads get their alternate stacks.
  const HostRun statically = runHost(CRASHREPORTING_STATICHOST);
  EXPECT_TRUE(statically.child.exitedWith(0)) << statically.child.status;
  EXPECT_EQ(statically.child.output, "before=2 after=2 after-altstack=2\n");
  EXPECT_EQ(occurrences(statically.log, kCoverageLine), 1u) << statically.log;
  EXPECT_EQ(occurrences(statically.log, kHostsOwnLine), 0u) << statically.log;

  // A host with its own pthread_create links, and its function wins: its threads run without stacks of ours,
  // which the start logs.
  const HostRun ownHook = runHost(CRASHREPORTING_OWNPTHREADHOST);
  EXPECT_TRUE(ownHook.child.exitedWith(0)) << ownHook.child.status;
  EXPECT_EQ(ownHook.child.output, "before=2 after=2 after-altstack=0\n");
  EXPECT_EQ(occurrences(ownHook.log, kHostsOwnLine), 1u) << ownHook.log;
  EXPECT_EQ(occurrences(ownHook.log, kCoverageLine), 1u) << ownHook.log;
}

}  // namespace
}  // namespace crashreporting::test
