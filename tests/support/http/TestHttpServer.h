#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace tilvane::test {

using Fields = std::vector<std::pair<std::string, std::string>>;

/// What the server answers to one request.
struct ScriptedReply {
  enum class Ending {
    complete,           ///< status line, fields, Content-Length and the body, then the connection closes
    closeWithoutReply,  ///< the connection closes once the request was read, with nothing sent
    neverEnding,        ///< status line and fields, then one byte of body every 0.1 s until the client goes
    trickle,            ///< as complete, but the body one byte every `trickleInterval` seconds: slow, yet alive
  };
  int status = 200;
  Fields headers;
  std::string body;
  /// Real seconds between reading the request and answering it.
  double delay = 0;
  Ending ending = Ending::complete;
  /// Without a Content-Length field the body ends where the connection closes.
  bool sendLength = true;
  double trickleInterval = 0.1;

  static ScriptedReply ok(std::string body, std::string contentType = "application/json") {
    return {200, {{"Content-Type", std::move(contentType)}}, std::move(body)};
  }
  static ScriptedReply withStatus(int status, std::string body = "") { return {status, {}, std::move(body)}; }
  static ScriptedReply closed() { return {0, {}, "", 0, Ending::closeWithoutReply}; }
  static ScriptedReply trickled(std::string body, double interval) {
    ScriptedReply reply{200, {{"Content-Type", "application/json"}}, std::move(body), 0, Ending::trickle};
    reply.trickleInterval = interval;
    return reply;
  }
  static ScriptedReply neverEnding() { return {200, {{"Content-Type", "application/json"}}, "", 0, Ending::neverEnding}; }
};

/// One request as the server read it.
struct RecordedRequest {
  std::string method;
  /// The request target as sent: path and query ("/a?b").
  std::string target;
  std::string path;
  /// What follows "?", without it; empty when there is none.
  std::string query;
  Fields headers;
  std::string body;

  std::optional<std::string> header(std::string_view name) const;
};

/// A local HTTP or HTTPS server for tests: on 127.0.0.1 and a port the system picks, it answers every request
/// from a script (per path: replies queued for the next requests, then a standing one; 404 for a path without
/// either) and records every request it read. One request per connection; each connection on a thread of its
/// own, so a reply that never ends holds up no other. The server stops (and cuts every connection) when it goes.
class TestHttpServer {
 public:
  /// Plain HTTP.
  TestHttpServer();
  /// HTTPS with this certificate (PEM, with any intermediate authorities after it) and private key.
  TestHttpServer(const std::string& certificateFile, const std::string& keyFile);
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  /// Whether it listens; else error() says why.
  bool started() const { return port_ != 0; }
  const std::string& error() const { return error_; }
  std::uint16_t port() const { return port_; }
  /// "http://127.0.0.1:<port>" (or https) followed by `target`.
  std::string url(std::string_view target = "/") const;

  /// The reply to every request for `path` (the target without its query) that no queued reply takes.
  void setReply(const std::string& path, ScriptedReply reply);
  /// A reply for the next request for `path`, before the standing one; queued replies go in order.
  void queueReply(const std::string& path, ScriptedReply reply);

  std::vector<RecordedRequest> requests() const;
  std::size_t requestCount() const;
  /// Waits (real time) until at least `count` requests were recorded; whether they were.
  bool waitForRequests(std::size_t count, double seconds = 10.0) const;

 private:
  struct Tls;
  void start();
  void acceptLoop();
  void serve(int fd);
  std::shared_ptr<const ScriptedReply> replyFor(const std::string& path);
  /// Waits up to `seconds`; false when the server is stopping.
  bool pause(double seconds);

  std::unique_ptr<Tls> tls_;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  std::uint16_t port_ = 0;
  std::string error_;
  std::thread acceptor_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  // Shared, not copied per request: a reply of many megabytes copied under a sanitizer takes seconds.
  std::map<std::string, std::shared_ptr<const ScriptedReply>> standing_;
  std::map<std::string, std::deque<ScriptedReply>> queued_;
  std::vector<RecordedRequest> requests_;
  std::set<int> open_;
  std::vector<std::thread> connections_;
};

}  // namespace tilvane::test
