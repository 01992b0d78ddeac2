#include "support/http/TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>

namespace tilvane::test {
namespace {

constexpr std::size_t kMaxHead = 64 * 1024;
constexpr std::size_t kMaxBody = 64 * 1024 * 1024;

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

const char* reason(int status) {
  switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

/// One connection's bytes, plain or through TLS.
class Stream {
 public:
  Stream(int fd, SSL* ssl) : fd_(fd), ssl_(ssl) {}
  ~Stream() {
    if (ssl_) SSL_free(ssl_);
  }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  bool handshake() { return fd_ >= 0 && (!ssl_ || SSL_accept(ssl_) == 1); }
  long read(char* buffer, std::size_t size) {
    if (ssl_) return SSL_read(ssl_, buffer, static_cast<int>(size));
    return recv(fd_, buffer, size, 0);
  }
  bool write(std::string_view bytes) {
    while (!bytes.empty()) {
      const long n = ssl_ ? SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()))
                          : send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }
  void finish() {
    if (ssl_) SSL_shutdown(ssl_);
    shutdown(fd_, SHUT_WR);
  }

 private:
  int fd_;
  SSL* ssl_;
};

}  // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  const std::string wanted = lower(name);
  for (const auto& [field, value] : headers)
    if (lower(field) == wanted) return value;
  return std::nullopt;
}

struct TestHttpServer::Tls {
  SSL_CTX* context = nullptr;
  ~Tls() {
    if (context) SSL_CTX_free(context);
  }
};

TestHttpServer::TestHttpServer() { start(); }

TestHttpServer::TestHttpServer(const std::string& certificateFile, const std::string& keyFile)
    : tls_(std::make_unique<Tls>()) {
  tls_->context = SSL_CTX_new(TLS_server_method());
  if (!tls_->context || SSL_CTX_use_certificate_chain_file(tls_->context, certificateFile.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(tls_->context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    error_ = std::string("TLS set-up failed: ") + text;
    return;
  }
  start();
}

void TestHttpServer::start() {
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  wakeFd_ = eventfd(0, EFD_CLOEXEC);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (listenFd_ < 0 || wakeFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listenFd_, 64) != 0 || getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    error_ = "cannot listen on 127.0.0.1";
    return;
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread(&TestHttpServer::acceptLoop, this);
}

TestHttpServer::~TestHttpServer() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    for (const int fd : open_) shutdown(fd, SHUT_RDWR);
  }
  changed_.notify_all();
  if (wakeFd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof one);
  }
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread& connection : connections_) connection.join();
  if (listenFd_ >= 0) close(listenFd_);
  if (wakeFd_ >= 0) close(wakeFd_);
}

std::string TestHttpServer::url(std::string_view target) const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + std::string(target);
}

void TestHttpServer::setReply(const std::string& path, ScriptedReply reply) {
  const std::lock_guard lock(mutex_);
  standing_[path] = std::make_shared<const ScriptedReply>(std::move(reply));
}

void TestHttpServer::queueReply(const std::string& path, ScriptedReply reply) {
  const std::lock_guard lock(mutex_);
  queued_[path].push_back(std::move(reply));
}

std::vector<RecordedRequest> TestHttpServer::requests() const {
  const std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t TestHttpServer::requestCount() const {
  const std::lock_guard lock(mutex_);
  return requests_.size();
}

bool TestHttpServer::waitForRequests(std::size_t count, double seconds) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return requests_.size() >= count; });
}

std::shared_ptr<const ScriptedReply> TestHttpServer::replyFor(const std::string& path) {
  const std::lock_guard lock(mutex_);
  if (auto queue = queued_.find(path); queue != queued_.end() && !queue->second.empty()) {
    auto reply = std::make_shared<const ScriptedReply>(std::move(queue->second.front()));
    queue->second.pop_front();
    return reply;
  }
  if (auto standing = standing_.find(path); standing != standing_.end()) return standing->second;
  return std::make_shared<const ScriptedReply>(ScriptedReply::withStatus(404, "not found"));
}

bool TestHttpServer::pause(double seconds) {
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return stopping_; });
}

void TestHttpServer::acceptLoop() {
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, nullptr);  // threads made here inherit it
  for (;;) {
    pollfd watched[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents) return;
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    const std::lock_guard lock(mutex_);
    if (stopping_) {
      close(fd);
      return;
    }
    open_.insert(fd);
    connections_.emplace_back(&TestHttpServer::serve, this, fd);
  }
}

void TestHttpServer::serve(int fd) {
  {
    SSL* ssl = tls_ ? SSL_new(tls_->context) : nullptr;
    if (ssl) SSL_set_fd(ssl, fd);
    Stream stream(fd, ssl);
    [&] {
      if ((tls_ && !ssl) || !stream.handshake()) return;
      // The head, up to the empty line.
      std::string data;
      std::size_t headEnd = std::string::npos;
      char chunk[16384];
      while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        if (data.size() > kMaxHead) return;
        const long n = stream.read(chunk, sizeof chunk);
        if (n <= 0) return;
        data.append(chunk, static_cast<std::size_t>(n));
      }
      RecordedRequest request;
      const std::string_view head(data.data(), headEnd);
      const std::size_t lineEnd = head.find("\r\n");
      const std::string_view requestLine = head.substr(0, lineEnd);
      const std::size_t firstSpace = requestLine.find(' ');
      const std::size_t secondSpace = requestLine.find(' ', firstSpace + 1);
      if (firstSpace == std::string_view::npos || secondSpace == std::string_view::npos) return;
      request.method = std::string(requestLine.substr(0, firstSpace));
      request.target = std::string(requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1));
      const std::size_t question = request.target.find('?');
      request.path = request.target.substr(0, question);
      if (question != std::string::npos) request.query = request.target.substr(question + 1);
      for (std::size_t at = lineEnd; at != std::string_view::npos && at < head.size();) {
        const std::size_t start = at + 2;
        const std::size_t end = std::min(head.find("\r\n", start), head.size());
        const std::string_view line = head.substr(start, end - start);
        if (const std::size_t colon = line.find(':'); colon != std::string_view::npos)
          request.headers.emplace_back(std::string(trim(line.substr(0, colon))),
                                       std::string(trim(line.substr(colon + 1))));
        at = end < head.size() ? end : std::string_view::npos;
      }
      std::size_t length = 0;
      if (auto text = request.header("Content-Length")) length = std::strtoull(text->c_str(), nullptr, 10);
      if (length > kMaxBody) return;
      request.body = data.substr(headEnd + 4);
      if (request.body.size() < length && request.header("Expect") &&
          lower(*request.header("Expect")) == "100-continue" && !stream.write("HTTP/1.1 100 Continue\r\n\r\n"))
        return;
      while (request.body.size() < length) {
        const long n = stream.read(chunk, std::min(sizeof chunk, length - request.body.size()));
        if (n <= 0) return;
        request.body.append(chunk, static_cast<std::size_t>(n));
      }
      request.body.resize(std::min(request.body.size(), length));
      const std::string path = request.path;
      {
        const std::lock_guard lock(mutex_);
        requests_.push_back(std::move(request));
      }
      changed_.notify_all();

      const std::shared_ptr<const ScriptedReply> shared = replyFor(path);
      const ScriptedReply& reply = *shared;
      if (reply.delay > 0 && !pause(reply.delay)) return;
      if (reply.ending == ScriptedReply::Ending::closeWithoutReply) return;
      std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " + reason(reply.status) + "\r\n";
      bool hasLength = false;
      for (const auto& [name, value] : reply.headers) {
        out += name + ": " + value + "\r\n";
        hasLength = hasLength || lower(name) == "content-length";
      }
      if (reply.ending == ScriptedReply::Ending::neverEnding) {
        if (!stream.write(out + "Connection: close\r\n\r\n")) return;
        while (stream.write("x") && pause(0.1)) {
        }
        return;
      }
      if (!hasLength && reply.sendLength) out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
      out += "Connection: close\r\n\r\n";
      if (reply.ending == ScriptedReply::Ending::trickle) {
        if (!stream.write(out)) return;
        for (const char byte : reply.body)
          if (!pause(reply.trickleInterval) || !stream.write(std::string(1, byte))) return;
        stream.finish();
        return;
      }
      if (stream.write(out) && stream.write(reply.body)) stream.finish();
    }();
  }
  {
    const std::lock_guard lock(mutex_);
    open_.erase(fd);
  }
  close(fd);
}

}  // namespace tilvane::test
