#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/net/HttpMessage.h"

namespace tilvane::net {

/// Sends HTTP(S) requests without blocking its caller. The exchanges run on one worker thread of the client
/// (libcurl's multi interface); each completion is handed to the client's executor, which runs it on the
/// caller's loop (the main loop in the application), so completions never run on the worker.
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

  explicit HttpClient(Executor executor);
  /// Cancels what is still running and waits for the worker to stop (at most the time of one curl step).
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
