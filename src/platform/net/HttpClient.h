#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/net/HttpMessage.h"

namespace tilvane::net {

/// Sends HTTP(S) requests without blocking its caller. The exchanges run in the network process (tilvane-net, on
/// libcurl), which one worker thread of the client starts with the first request and ends once nothing has been
/// in flight for `Options::linger`: libcurl and the TLS stack are never loaded into this process, and an idle
/// program holds neither them nor a second process. Each completion is handed to the client's executor, which runs
/// it on the caller's loop (the main loop in the application), so completions never run on the worker.
///
/// When the network process cannot be started, or ends before a reply, the requests it had fail with
/// HttpErrorCode::transport and say why; the next request starts it again.
///
/// A completion runs once per request, with the reply or the error, unless the request was cancelled or the
/// client went first: after cancel() or the client's destruction its completion never runs, even when the
/// reply was already on its way. send() and cancel() may be called from any thread.
class HttpClient {
 public:
  using RequestId = std::uint64_t;
  using Completion = std::function<void(HttpResponse)>;
  /// Runs a task on the loop that owns the completions; called from the worker thread, so it must be safe to
  /// call from any thread (MainLoop::async is).
  using Executor = std::function<void(std::function<void()>)>;

  struct Options {
    /// The network process's program; empty: NetworkProcess::locate's choice.
    std::string program;
    /// Seconds the network process is kept after its last reply, for the next request's sake.
    double linger = 2.0;
    /// Told, on the worker, how each network process ended ("exited with 0" is a clean end).
    std::function<void(const std::string&)> ended;
  };

  explicit HttpClient(Executor executor) : HttpClient(std::move(executor), Options()) {}
  HttpClient(Executor executor, Options options);
  /// Cancels what is still running, ends the network process and waits for the worker to stop.
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  /// Starts `request`; returns at once. Ids are never 0.
  RequestId send(HttpRequest request, Completion completion);
  /// A GET of `url` with a time-out (seconds) and a body cap (bytes).
  RequestId get(std::string url, double timeout, std::size_t maxBodyBytes, Completion completion);
  /// Stops the request; its completion will not run. Unknown or finished ids are ignored.
  void cancel(RequestId id);
  /// Requests whose completion has neither run nor been cancelled.
  std::size_t pendingCount() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace tilvane::net
