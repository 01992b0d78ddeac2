#include "platform/net/NetworkProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

extern char** environ;

namespace tilvane::net {
namespace {

// Long enough for a sanitizer build to check its heap on the way out; a process that takes longer is stuck.
constexpr int kEndWaitMs = 5000;

bool executable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

std::string describe(int status) {
  if (WIFEXITED(status)) return "exited with " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "ended";
}

struct SpawnAttributes {
  SpawnAttributes() { posix_spawnattr_init(&value); }
  ~SpawnAttributes() { posix_spawnattr_destroy(&value); }
  posix_spawnattr_t value;
};
struct SpawnActions {
  SpawnActions() { posix_spawn_file_actions_init(&value); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&value); }
  posix_spawn_file_actions_t value;
};

}  // namespace

std::string NetworkProcess::locate(const std::string& configured) {
  if (!configured.empty()) return configured;
  if (const char* chosen = std::getenv("TILVANE_NET"); chosen && *chosen) return chosen;
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::string beside = error ? std::string() : (self.parent_path() / "tilvane-net").string();
  for (const std::string& candidate :
       {beside, error ? std::string() : (self.parent_path() / "../libexec/tilvane/tilvane-net").string(),
        std::string(TILVANE_NET_BUILD_PATH)})
    if (executable(candidate)) return candidate;
  return beside.empty() ? "tilvane-net" : beside;
}

std::vector<std::string> NetworkProcess::currentEnvironment() {
  std::vector<std::string> entries;
  for (char** entry = environ; entry && *entry; ++entry) entries.emplace_back(*entry);
  return entries;
}

std::unique_ptr<NetworkProcess> NetworkProcess::start(const std::string& path,
                                                      const std::vector<std::string>& environment, std::string& error) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    error = std::string("no socket for the network process: ") + std::strerror(errno);
    return nullptr;
  }
  SpawnActions actions;
  // Its end becomes its standard input (dup2 clears close-on-exec there); nothing else of ours goes with it.
  posix_spawn_file_actions_adddup2(&actions.value, ends[1], 0);
  posix_spawn_file_actions_addclosefrom_np(&actions.value, 3);
  SpawnAttributes attributes;
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  // Started from a worker that blocks signals, and from a program that may ignore some: it gets neither.
  posix_spawnattr_setsigmask(&attributes.value, &none);
  posix_spawnattr_setsigdefault(&attributes.value, &all);
  posix_spawnattr_setflags(&attributes.value, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  char name[] = "tilvane-net";
  char* const argv[] = {name, nullptr};
  std::vector<char*> envp;
  for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, path.c_str(), &actions.value, &attributes.value, argv, envp.data());
  close(ends[1]);
  if (failed != 0) {
    close(ends[0]);
    error = "the network process " + path + " could not be started: " + std::strerror(failed);
    return nullptr;
  }
  fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
  return std::make_unique<NetworkProcess>(pid, ends[0]);
}

std::string NetworkProcess::end() {
  if (!ending_.empty()) return ending_;
  close(socket_);
  socket_ = -1;
  // Waits for the exit on a process descriptor, so that a stuck process costs a bounded time.
  const int handle = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
  if (handle >= 0) {
    pollfd exit{handle, POLLIN, 0};
    int ready = 0;
    do ready = poll(&exit, 1, kEndWaitMs);
    while (ready < 0 && errno == EINTR);
    close(handle);
    if (ready == 0) kill(pid_, SIGKILL);
  } else {
    kill(pid_, SIGKILL);
  }
  int status = 0;
  pid_t reaped = 0;
  do reaped = waitpid(pid_, &status, 0);
  while (reaped < 0 && errno == EINTR);
  ending_ = reaped == pid_ ? describe(status) : "ended";
  return ending_;
}

NetworkProcess::~NetworkProcess() { end(); }

}  // namespace tilvane::net
