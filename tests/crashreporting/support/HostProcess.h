#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <map>
#include <string>
#include <vector>

// One run of the host program (CRASHREPORTING_CRASHHOST, which the includer defines): its own environment,
// standard output and error kept in files, standard input a pipe the caller holds (closing it ends a "serve"
// step).

namespace crashreporting::test {

class HostProcess {
 public:
  HostProcess(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
              const std::filesystem::path& outputStem)
      : out_(outputStem.string() + ".out"), err_(outputStem.string() + ".err") {
    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0) return;
    std::vector<char*> argv{const_cast<char*>(CRASHREPORTING_CRASHHOST)};
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      const rlimit noCore{0, 0};
      setrlimit(RLIMIT_CORE, &noCore);
      for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
      dup2(input[0], 0);
      const int out = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(out, 1);
      dup2(err, 2);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(input[0]);
    input_ = input[1];
  }
  ~HostProcess() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      wait();
    }
    if (input_ >= 0) close(input_);
  }
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  /// Writes a line to the process's standard input.
  bool say(const std::string& line) {
    const std::string text = line + "\n";
    return input_ >= 0 && ::write(input_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  }
  /// Ends standard input, then waits for the process; its wait status.
  int finish() {
    if (input_ >= 0) close(input_);
    input_ = -1;
    return wait();
  }
  /// Ends standard input; whether the process then ends within `seconds` (its status is kept). One that does
  /// not is killed: a blocked host must not hang its test.
  bool finishWithin(double seconds) {
    if (input_ >= 0) close(input_);
    input_ = -1;
    for (int step = 0; step < static_cast<int>(seconds * 100) && !waited_; ++step) {
      if (pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_) waited_ = true;
      else usleep(10000);
    }
    if (waited_) return true;
    kill(pid_, SIGKILL);
    wait();
    return false;
  }
  int wait() {
    if (!waited_ && pid_ > 0) {
      waitpid(pid_, &status_, 0);
      waited_ = true;
    }
    return status_;
  }
  std::string output() const { return read(out_); }
  std::string errors() const { return read(err_); }

 private:
  static std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string out_;
  std::string err_;
  pid_t pid_ = -1;
  int input_ = -1;
  int status_ = -1;
  bool waited_ = false;
};

}  // namespace crashreporting::test
