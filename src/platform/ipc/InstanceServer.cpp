#include "platform/ipc/InstanceServer.h"

#include "platform/ipc/InstanceChannel.h"
#include "platform/ipc/SocketAddress.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace tilvane::ipc {
std::unique_ptr<InstanceServer> InstanceServer::listen(const InstanceLock& lock, std::string& error) {
  const std::filesystem::path socket = lock.socket();
  const auto address = socketAddress(socket);
  if (!address) {
    error = "no usable socket path \"" + socket.string() + "\"";
    return nullptr;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  // The folder is private and we hold the lock: anything at the path (a socket of a killed holder, a file put
  // there) is stale. A folder is left alone, and the bind below says so.
  struct stat there {};
  if (lstat(socket.c_str(), &there) == 0 && !S_ISDIR(there.st_mode)) unlink(socket.c_str());
  // Made with the user's permissions only; no other thread runs yet.
  const mode_t previous = umask(0177);
  const int bound = bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
  const int bindErrno = errno;
  umask(previous);
  struct stat info {};
  if (bound != 0 || ::listen(fd, 16) != 0 || stat(socket.c_str(), &info) != 0) {
    error = "cannot listen on \"" + socket.string() + "\": " + std::strerror(bound != 0 ? bindErrno : errno);
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<InstanceServer>(new InstanceServer(socket, fd, info.st_ino));
}

InstanceServer::~InstanceServer() {
  while (!clients_.empty()) dropClient(clients_.begin()->first);
  if (loop_ && watch_) loop_->unwatchFd(watch_);
  close(fd_);
  // Only our own file, though none but the lock's holder should replace it.
  struct stat info {};
  if (stat(path_.c_str(), &info) == 0 && info.st_ino == inode_) unlink(path_.c_str());
}

void InstanceServer::serve(dispatch::MainLoop& loop, std::function<void(std::string)> onMessage) {
  if (loop_) return;
  loop_ = &loop;
  onMessage_ = std::move(onMessage);
  watch_ = loop.watchFd(fd_, [this] { acceptClients(); });
  acceptClients();  // those that came before the loop watched
}

void InstanceServer::acceptClients() {
  for (;;) {
    const int fd = accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR) continue;
      return;
    }
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != getuid()) {
      close(fd);
      continue;
    }
    if (static_cast<int>(clients_.size()) >= kMaxClients) dropOldestClient();
    Client& client = clients_[fd];
    client.fd = fd;
    client.order = ++accepted_;
    client.watch = loop_->watchFd(fd, [this, fd] { readClient(fd); });
    client.timeout = loop_->asyncAfter(kClientTimeout, [this, fd] {
      if (const auto late = clients_.find(fd); late != clients_.end()) late->second.timeout = 0;
      dropClient(fd);
    });
  }
}

void InstanceServer::readClient(int fd) {
  const auto it = clients_.find(fd);
  if (it == clients_.end()) return;
  Client& client = it->second;
  char chunk[4096];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n > 0) {
      client.buffer.append(chunk, static_cast<std::size_t>(n));
      if (client.buffer.size() > kMaxMessage) return dropClient(fd);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;  // more to come
    if (n < 0) return dropClient(fd);
    // The end of the message. A client that gave up waiting has been told it was not delivered: its reply
    // fails, and the message is dropped.
    std::string message = std::move(client.buffer);
    const bool taken = !message.empty() &&
                       send(fd, kTakenReply.data(), kTakenReply.size(), MSG_NOSIGNAL) ==
                           static_cast<ssize_t>(kTakenReply.size());
    dropClient(fd);
    if (taken && onMessage_) onMessage_(std::move(message));
    return;
  }
}

void InstanceServer::dropOldestClient() {
  auto oldest = clients_.end();
  auto oldestIdle = clients_.end();
  for (auto it = clients_.begin(); it != clients_.end(); ++it) {
    if (oldest == clients_.end() || it->second.order < oldest->second.order) oldest = it;
    if (it->second.buffer.empty() && (oldestIdle == clients_.end() || it->second.order < oldestIdle->second.order))
      oldestIdle = it;
  }
  const auto chosen = oldestIdle != clients_.end() ? oldestIdle : oldest;
  if (chosen != clients_.end()) dropClient(chosen->first);
}

void InstanceServer::dropClient(int fd) {
  const auto node = clients_.extract(fd);
  if (!node) return;
  if (node.mapped().timeout) loop_->cancel(node.mapped().timeout);
  loop_->unwatchFd(node.mapped().watch);
  close(fd);
}

}  // namespace tilvane::ipc
