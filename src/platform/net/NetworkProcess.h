#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace tilvane::net {

/// Tilvane's network process (tilvane-net, see curl/main.cpp), started for the HTTP client's exchanges: one end of
/// a stream socket is its standard input, the other is socket(). Ending the object ends the process.
class NetworkProcess {
 public:
  /// Starts the program at `path` with `environment` ("NAME=value" entries); none, with `error` saying why, when
  /// it cannot be started.
  static std::unique_ptr<NetworkProcess> start(const std::string& path, const std::vector<std::string>& environment,
                                               std::string& error);
  /// This process's environment now. Taken on the thread that makes the client: another thread may change the
  /// environment while the worker starts a process, and reading it there would race with that.
  static std::vector<std::string> currentEnvironment();
  /// The program to start: `configured` when given, else $TILVANE_NET, else tilvane-net beside the running program,
  /// in ../libexec/tilvane from it, or in the build tree, whichever is there first.
  static std::string locate(const std::string& configured);

  /// Owns the running process `pid` and the client's end of its socket.
  NetworkProcess(pid_t pid, int socket) : pid_(pid), socket_(socket) {}
  ~NetworkProcess();
  NetworkProcess(const NetworkProcess&) = delete;
  NetworkProcess& operator=(const NetworkProcess&) = delete;

  int socket() const { return socket_; }
  pid_t pid() const { return pid_; }
  /// Closes the socket, which tells the process to end, and waits until it has (killing it when it takes more
  /// than a few seconds). How it ended: "exited with 0", "killed by signal 9".
  std::string end();

 private:
  pid_t pid_;
  int socket_;
  std::string ending_;  // set once it has ended
};

}  // namespace tilvane::net
