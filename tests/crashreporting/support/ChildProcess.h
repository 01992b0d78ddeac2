#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

// Child processes for tests that crash on purpose: no core dumps, standard output on a pipe.

namespace crashreporting::test {

/// A started child: its pid and the read end of its standard output.
struct RunningChild {
  pid_t pid = -1;
  int out = -1;
};

/// A finished child: its wait status and everything it wrote to standard output.
struct FinishedChild {
  int status = 0;
  std::string output;
  bool diedBy(int signal) const { return WIFSIGNALED(status) && WTERMSIG(status) == signal; }
  bool exitedWith(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
};

/// Starts `program` with `arguments`, `environment` added to this process's own, and without core dumps.
inline RunningChild spawnChild(const std::string& program, const std::vector<std::string>& arguments,
                               const std::map<std::string, std::string>& environment = {}) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    dup2(pipeFds[1], 1);
    close(pipeFds[0]);
    close(pipeFds[1]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  return {pid, pipeFds[0]};
}

/// Reads the child's output to its end and waits for it.
inline FinishedChild finishChild(RunningChild child) {
  FinishedChild finished;
  std::array<char, 512> buffer{};
  ssize_t n;
  while ((n = read(child.out, buffer.data(), buffer.size())) > 0)
    finished.output.append(buffer.data(), static_cast<std::size_t>(n));
  close(child.out);
  waitpid(child.pid, &finished.status, 0);
  return finished;
}

inline FinishedChild runChild(const std::string& program, const std::vector<std::string>& arguments,
                              const std::map<std::string, std::string>& environment = {}) {
  return finishChild(spawnChild(program, arguments, environment));
}

}  // namespace crashreporting::test
