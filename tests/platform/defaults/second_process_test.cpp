#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/defaults/UserDefaults.h"
#include "support/TestEnvironment.h"

extern char** environ;

namespace tilvane::defaults {
namespace {

struct ProbeResult {
  int exitCode = -1;
  std::string output;
};

// Runs the probe program in a new process and collects what it prints.
ProbeResult runProbe(const std::vector<std::string>& args) {
  std::vector<std::string> all{TILVANE_DEFAULTS_PROBE};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  int fds[2];
  if (pipe(fds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  ProbeResult result;
  char buf[256];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) result.output.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  if (rc != 0) return result;
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

class DefaultsAcrossProcesses : public test::WorldTest {
 protected:
  std::string file() const { return (tempDir() / "config" / "Tilvane" / "defaults.plist").string(); }
};

TEST_F(DefaultsAcrossProcesses, ValuesWrittenHereAreReadByTheNextProcess) {
  UserDefaults::standard().setInteger("hideInMenuBar", 2);
  UserDefaults::standard().setBool("gutterEnabled", true);

  const auto integer = runProbe({file(), "get", "hideInMenuBar"});
  EXPECT_EQ(integer.exitCode, 0);
  EXPECT_EQ(integer.output, "2\n");
  EXPECT_EQ(runProbe({file(), "get", "gutterEnabled"}).output, "1\n");
  EXPECT_EQ(runProbe({file(), "get", "launchAtLogin"}).output, "(absent)\n");
}

TEST_F(DefaultsAcrossProcesses, ValuesWrittenByAnotherProcessAreReadHere) {
  UserDefaults::standard().setInteger("hideInMenuBar", 1);
  ASSERT_EQ(runProbe({file(), "set-string", "remoteNotification-42", "read"}).exitCode, 0);
  ASSERT_EQ(runProbe({file(), "set-int", "autoLayoutEnabled", "0"}).exitCode, 0);

  const UserDefaults fresh{std::filesystem::path(file())};
  EXPECT_EQ(fresh.stringForKey("remoteNotification-42"), "read");
  EXPECT_EQ(fresh.objectForKey("autoLayoutEnabled"), Value(0));
  EXPECT_EQ(fresh.integerForKey("hideInMenuBar"), 1);  // what this process wrote before is kept
}

}  // namespace
}  // namespace tilvane::defaults
