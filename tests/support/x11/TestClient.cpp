#include "support/x11/TestClient.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace tilvane::test::x11 {
namespace {
using Clock = std::chrono::steady_clock;

Clock::time_point deadline(double seconds) {
  return Clock::now() + std::chrono::microseconds(static_cast<long long>(seconds * 1e6));
}
}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::spawn(const std::vector<std::string>& argv) {
  if (argv.empty()) return nullptr;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return nullptr;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return nullptr;
  }
  return std::unique_ptr<ChildProcess>(new ChildProcess(pid, fds[0]));
}

ChildProcess::~ChildProcess() {
  terminate();
  close(out_);
}

bool ChildProcess::readLine(std::string& line, double seconds) {
  const auto end = deadline(seconds);
  for (;;) {
    if (const auto nl = buffer_.find('\n'); nl != std::string::npos) {
      line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0) return false;
    pollfd pfd{out_, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(left)) <= 0) continue;
    char chunk[4096];
    const ssize_t n = read(out_, chunk, sizeof chunk);
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

int ChildProcess::wait(double seconds) {
  if (reaped_) return -1;
  const auto end = deadline(seconds);
  int status = 0;
  while (Clock::now() < end) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      reaped_ = true;
      return status;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return -1;
}

int ChildProcess::terminate() {
  if (reaped_) return -1;
  kill(pid_, SIGTERM);
  int status = wait(3.0);
  if (status == -1 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    reaped_ = true;
  }
  return status;
}

int runCommand(const std::vector<std::string>& argv) {
  auto child = ChildProcess::spawn(argv);
  if (!child) return -1;
  const int status = child->wait(10.0);
  if (status == -1) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::unique_ptr<TestClient> TestClient::launch(const std::vector<std::string>& args) {
  std::vector<std::string> argv{TILVANE_TESTCLIENT_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  auto process = ChildProcess::spawn(argv);
  if (!process) return nullptr;
  std::unique_ptr<TestClient> client(new TestClient(std::move(process)));
  std::string line;
  while (client->process_->readLine(line, 10.0)) {
    if (line == "ready") return client;
    if (line.rfind("window 0x", 0) == 0)
      client->windows_.push_back(static_cast<std::uint32_t>(std::strtoul(line.c_str() + 9, nullptr, 16)));
  }
  return nullptr;
}

}  // namespace tilvane::test::x11
