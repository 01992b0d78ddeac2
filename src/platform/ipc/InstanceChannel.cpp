#include "platform/ipc/InstanceChannel.h"

#include "platform/base/XdgPaths.h"

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
namespace {

constexpr int kMaxClients = 32;  // a flood of idle connections cannot use up our file descriptors

std::optional<sockaddr_un> addressOf(const std::filesystem::path& socket) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string text = socket.string();
  if (text.empty() || text.size() >= sizeof(address.sun_path)) return std::nullopt;
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return address;
}

int connectTo(const sockaddr_un& address) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // A running instance that is stuck must not hold up the start of another.
  const timeval limit{2, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::filesystem::path instanceSocketPath() {
  const std::filesystem::path folder = xdg::runtimeDir();
  return folder.empty() ? folder : folder / "tilvane.socket";
}

bool sendToRunningInstance(const std::filesystem::path& socket, std::string_view message) {
  const auto address = addressOf(socket);
  if (!address) return false;
  const int fd = connectTo(*address);
  if (fd < 0) return false;
  bool sent = true;
  while (!message.empty()) {
    const ssize_t n = send(fd, message.data(), message.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      sent = false;
      break;
    }
    message.remove_prefix(static_cast<std::size_t>(n));
  }
  close(fd);  // the end of the message
  return sent;
}

std::unique_ptr<InstanceServer> InstanceServer::listen(const std::filesystem::path& socket, std::string& error) {
  const auto address = addressOf(socket);
  if (!address) {
    error = "no usable socket path \"" + socket.string() + "\"";
    return nullptr;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  // Made with the user's permissions only; no other thread runs yet.
  const mode_t previous = umask(0177);
  int bound = bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
  if (bound != 0 && errno == EADDRINUSE) {
    // A socket file without a listener is what a killed instance leaves; one that answers is not ours to take.
    if (const int probe = connectTo(*address); probe >= 0) {
      close(probe);
      errno = EADDRINUSE;
    } else {
      struct stat info {};
      if (lstat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) unlink(socket.c_str());
      bound = bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
    }
  }
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
  // Only our own file: a later instance may have replaced it.
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
    if (static_cast<int>(clients_.size()) >= kMaxClients ||
        getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != getuid()) {
      close(fd);
      continue;
    }
    Client& client = clients_[fd];
    client.fd = fd;
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
    // The end of the message.
    std::string message = std::move(client.buffer);
    dropClient(fd);
    if (!message.empty() && onMessage_) onMessage_(std::move(message));
    return;
  }
}

void InstanceServer::dropClient(int fd) {
  const auto node = clients_.extract(fd);
  if (!node) return;
  if (node.mapped().timeout) loop_->cancel(node.mapped().timeout);
  loop_->unwatchFd(node.mapped().watch);
  close(fd);
}

}  // namespace tilvane::ipc
