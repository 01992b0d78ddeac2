#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/dispatch/MainLoop.h"

namespace tilvane::ipc {

/// The per-user socket of the running instance: tilvane.socket in the user's runtime folder (xdg::runtimeDir).
/// Empty when no safe place exists.
std::filesystem::path instanceSocketPath();

/// Hands `message` to the instance listening on `socket`. False when none listens there (nothing was sent).
bool sendToRunningInstance(const std::filesystem::path& socket, std::string_view message);

/// The running instance's end: a user-only socket on which each client sends one message and closes. Messages
/// longer than kMaxMessage, clients of another user and clients silent for kClientTimeout are dropped without
/// a word; nothing a client does blocks the main loop.
class InstanceServer {
 public:
  static constexpr std::size_t kMaxMessage = 8 * 1024;
  static constexpr double kClientTimeout = 2.0;

  /// Binds and listens at `socket`, replacing a socket file no one answers on (left by a killed instance).
  /// Null when the socket cannot be made; `error` says why.
  static std::unique_ptr<InstanceServer> listen(const std::filesystem::path& socket, std::string& error);
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
  };

  InstanceServer(std::filesystem::path socket, int fd, ino_t inode) : path_(std::move(socket)), fd_(fd), inode_(inode) {}
  void acceptClients();
  void readClient(int fd);
  void dropClient(int fd);

  std::filesystem::path path_;
  int fd_;
  ino_t inode_;
  dispatch::MainLoop* loop_ = nullptr;
  dispatch::TaskId watch_ = 0;
  std::function<void(std::string)> onMessage_;
  std::map<int, Client> clients_;
};

}  // namespace tilvane::ipc
