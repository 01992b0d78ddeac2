#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/dispatch/MainLoop.h"
#include "platform/ipc/InstanceLock.h"

namespace tilvane::ipc {

/// The running instance's end: a user-only socket beside the instance lock, on which each client sends one
/// message, ends its side and waits for the reply (kTakenReply). A message is acted on only when the reply
/// reached a client still waiting for it. Messages longer than kMaxMessage, clients of another user and
/// clients silent for kClientTimeout are dropped without a word; nothing a client does blocks the main loop.
/// At most kMaxClients are served at once; a new client then takes the place of the oldest one that has sent
/// nothing yet (else of the oldest), so idle connections cannot keep later starts out.
class InstanceServer {
 public:
  static constexpr double kClientTimeout = 2.0;
  static constexpr int kMaxClients = 32;  // a flood of connections cannot use up our file descriptors

  /// Listens at the socket beside `lock`, which only its holder may do: whatever lies at the socket's path
  /// was left by an earlier holder and is replaced. Null when the socket cannot be made; `error` says why.
  static std::unique_ptr<InstanceServer> listen(const InstanceLock& lock, std::string& error);
  /// Stops listening and removes the socket file.
  ~InstanceServer();
  InstanceServer(const InstanceServer&) = delete;
  InstanceServer& operator=(const InstanceServer&) = delete;

  /// Starts accepting on `loop`; connections made before wait in the backlog. `onMessage` runs on the loop.
  void serve(dispatch::MainLoop& loop, std::function<void(std::string)> onMessage);

 private:
  struct Client {
    int fd = -1;
    dispatch::TaskId watch = 0;
    dispatch::TaskId timeout = 0;
    std::string buffer;
    std::uint64_t order = 0;  // of acceptance
  };

  InstanceServer(std::filesystem::path socket, int fd, ino_t inode) : path_(std::move(socket)), fd_(fd), inode_(inode) {}
  void acceptClients();
  void readClient(int fd);
  void dropClient(int fd);
  /// Drops the client that has waited longest without sending, else the one that came first.
  void dropOldestClient();

  std::filesystem::path path_;
  int fd_;
  ino_t inode_;
  dispatch::MainLoop* loop_ = nullptr;
  dispatch::TaskId watch_ = 0;
  std::function<void(std::string)> onMessage_;
  std::map<int, Client> clients_;
  std::uint64_t accepted_ = 0;
};

}  // namespace tilvane::ipc
