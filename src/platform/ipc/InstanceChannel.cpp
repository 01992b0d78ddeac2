#include "platform/ipc/InstanceChannel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/base/XdgPaths.h"
#include "platform/ipc/SocketAddress.h"

namespace tilvane::ipc {
namespace {

using Clock = std::chrono::steady_clock;

double secondsUntil(Clock::time_point deadline) {
  return std::max(0.0, std::chrono::duration<double>(deadline - Clock::now()).count());
}

class Connection {
 public:
  Connection() : fd_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
  ~Connection() {
    if (fd_ >= 0) close(fd_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

std::string describe(int cause) {
  switch (cause) {
    case ENOENT: return "it has no socket yet";
    case ECONNREFUSED: return "it does not listen on its socket";
    case EAGAIN: return "it takes no new connections (its queue is full)";
    default: return std::strerror(cause);
  }
}

// Reads what is there without waiting; true when it is the whole reply.
bool replyArrived(int fd, std::string& reply) {
  char chunk[16];
  for (;;) {
    const ssize_t n = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n > 0) {
      reply.append(chunk, static_cast<std::size_t>(n));
      if (reply.size() >= kTakenReply.size()) return reply.starts_with(kTakenReply);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

}  // namespace

std::string instanceName(std::string_view desktop) {
  std::string name(kDefaultInstance);
  if (desktop.empty()) return name;
  name += '-';
  for (const char c : desktop)
    name += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == ':' || c == '-' || c == '_' ? c : '_';
  return name;
}

std::vector<std::string> runningInstances(const std::filesystem::path& folder) {
  constexpr std::size_t kMaxEntries = 1024;
  constexpr std::string_view kLock = ".lock";
  const std::string prefix = std::string(kDefaultInstance) + "-";
  std::vector<std::string> running;
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  for (std::size_t seen = 0; !error && it != std::filesystem::directory_iterator() && seen < kMaxEntries;
       it.increment(error), ++seen) {
    const std::string file = it->path().filename().string();
    if (!file.starts_with(prefix) || !file.ends_with(kLock) || file.size() == prefix.size() + kLock.size()) continue;
    const int fd = open(it->path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st {};
    int locked = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? flock(fd, LOCK_SH | LOCK_NB) : 0;
    while (locked != 0 && errno == EINTR) locked = flock(fd, LOCK_SH | LOCK_NB);
    const bool held = locked != 0 && errno == EWOULDBLOCK;
    close(fd);  // lets the shared lock go
    if (held) running.push_back(file.substr(0, file.size() - kLock.size()));
  }
  std::sort(running.begin(), running.end());
  return running;
}

std::filesystem::path instanceSocketIn(const std::filesystem::path& folder, std::string_view name) {
  return folder / (std::string(name) + ".socket");
}
std::filesystem::path instanceLockIn(const std::filesystem::path& folder, std::string_view name) {
  return folder / (std::string(name) + ".lock");
}

std::filesystem::path instanceSocketPath(std::string_view name) {
  const std::filesystem::path folder = xdg::runtimeDir();
  return folder.empty() ? folder : instanceSocketIn(folder, name);
}

std::filesystem::path instanceLockPath(std::string_view name) {
  const std::filesystem::path folder = xdg::runtimeDir();
  return folder.empty() ? folder : instanceLockIn(folder, name);
}

bool sendToRunningInstance(const std::filesystem::path& socket, std::string_view message, double seconds,
                           std::string& error) {
  const Clock::time_point deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  const auto address = socketAddress(socket);
  if (!address) return (error = "no usable socket path \"" + socket.string() + "\""), false;
  if (message.size() > kMaxMessage) return (error = "the message is longer than it may be"), false;
  const Connection connection;
  const int fd = connection.fd();
  if (fd < 0) return (error = std::strerror(errno)), false;

  // A full queue holds the connection up; it waits no longer than the caller does.
  const double wait = std::max(0.001, secondsUntil(deadline));
  const timeval limit{static_cast<time_t>(wait), static_cast<suseconds_t>(std::fmod(wait, 1.0) * 1e6)};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  int connected = connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
  while (connected != 0 && errno == EINTR)
    connected = connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
  if (connected != 0) return (error = describe(errno == EINPROGRESS ? EAGAIN : errno)), false;

  for (std::string_view rest = message; !rest.empty();) {
    const ssize_t n = send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    // A peer that closed before the message was all sent dropped it, just as one that closes after.
    if (n < 0 && (errno == EPIPE || errno == ECONNRESET))
      return (error = "it closed the connection without taking the message"), false;
    if (n <= 0) return (error = std::string("it took no message: ") + std::strerror(errno)), false;
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
  shutdown(fd, SHUT_WR);  // the end of the message

  std::string reply;
  for (;;) {
    pollfd watch{fd, POLLIN, 0};
    const int ready = poll(&watch, 1, static_cast<int>(std::ceil(secondsUntil(deadline) * 1000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char chunk[16];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return (error = "it closed the connection without taking the message"), false;
    reply.append(chunk, static_cast<std::size_t>(n));
    if (reply.size() >= kTakenReply.size()) {
      if (reply.starts_with(kTakenReply)) return true;
      return (error = "it gave an answer this program does not know"), false;
    }
  }
  // Withdraw the message: from here on the instance cannot answer (its reply fails), so it drops the message
  // rather than act on it after this start has said it was not delivered. A reply that came first still counts.
  shutdown(fd, SHUT_RD);
  if (replyArrived(fd, reply)) return true;
  error = "it did not answer";
  return false;
}

InstanceClaim claimInstance(const std::filesystem::path& folder, std::string_view message, double patience,
                            std::string_view name) {
  const Clock::time_point deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(patience));
  InstanceClaim claim;
  double pause = 0.02;
  for (;;) {
    std::string lockError;
    if ((claim.lock = InstanceLock::tryTake(instanceLockIn(folder, name), lockError))) return claim;
    if (!lockError.empty()) {
      claim.error = lockError;
      return claim;
    }
    // Someone holds the lock: the instance, which may still be starting or already ending.
    std::string why;
    if (sendToRunningInstance(instanceSocketIn(folder, name), message, secondsUntil(deadline), why)) {
      claim.delivered = true;
      return claim;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", patience);
    claim.error = std::string("the running instance did not take it within ") + seconds + " s (last try: " + why + ")";
    const double left = secondsUntil(deadline);
    if (left <= 0) return claim;
    std::this_thread::sleep_for(std::chrono::duration<double>(std::min(pause, left)));
    pause = std::min(pause * 2, 0.4);
  }
}

}  // namespace tilvane::ipc
