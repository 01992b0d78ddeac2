#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

namespace tilvane::test {

/// A local socket listening at a path, which accepts only when the test says so: the running instance's end
/// played by a test, or a stranger's socket where the program must not look.
class ListeningSocket {
 public:
  explicit ListeningSocket(const std::filesystem::path& path) : fd_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    listening_ = bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(fd_, 4) == 0;
  }
  ~ListeningSocket() { close(fd_); }
  ListeningSocket(const ListeningSocket&) = delete;
  ListeningSocket& operator=(const ListeningSocket&) = delete;

  bool listening() const { return listening_; }
  /// Whether a connection waits to be accepted.
  bool pending() const {
    pollfd watch{fd_, POLLIN, 0};
    return poll(&watch, 1, 0) == 1;
  }
  /// Accepts the next connection, reads its whole message (up to the sender's end) and sends `reply`: whether
  /// the reply reached a sender still waiting for it.
  bool serveOne(std::string& message, std::string_view reply) const {
    const int client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return false;
    char chunk[4096];
    for (ssize_t n; (n = read(client, chunk, sizeof chunk)) > 0;) message.append(chunk, static_cast<std::size_t>(n));
    const bool replied = send(client, reply.data(), reply.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(reply.size());
    close(client);
    return replied;
  }

 private:
  int fd_;
  bool listening_ = false;
};

}  // namespace tilvane::test
