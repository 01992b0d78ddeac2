#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/OperationQueue.h"
#include "crashreporting/platform/OutputStream.h"
#include "crashreporting/platform/URLConnection.h"
#include "crashreporting/platform/URLRequest.h"

namespace crashreporting {

class VRDURLSession;

/// How a server's certificate is to be judged for one task, as the session's delegate answered.
struct VRDServerTrustDecision {
  bool cancelled = false;
  /// PEM of the only authorities to trust; none: the system's store.
  std::optional<std::string> anchorCertificates;
};

/// One transfer of a VRDURLSession. Made suspended; runs from its first resume() until it completes, once:
/// with the reply, with a transport error, or cancelled (URLErrorCancelled). Every event of its connection is
/// handled in order on the task's own serial queue. A task made with a completion handler reports only
/// through it; the others report to the session's delegate. Handlers run on the session's delegate queue.
class VRDURLSessionTask : public URLConnectionDelegate, public std::enable_shared_from_this<VRDURLSessionTask> {
 public:
  enum class Kind { data, upload, download };
  enum class State { suspended = 0, running = 1, canceling = 2, completed = 3 };

  ~VRDURLSessionTask() override;

  Kind kind() const { return kind_; }
  std::uint64_t taskIdentifier() const { return identifier_; }
  const URLRequest& originalRequest() const { return request_; }
  const URLRequest& currentRequest() const { return request_; }
  std::optional<URLResponse> response() const;
  std::optional<Error> error() const;
  State state() const;
  bool invokesDelegate() const { return invokesDelegate_; }
  std::string taskDescription() const;
  void setTaskDescription(std::string description);

  /// Starts the transfer; later calls do nothing.
  void resume();
  /// Stops the transfer: the task completes with URLErrorCancelled unless it has completed already.
  void cancel();

  // The connection's events, handed to the task's queue.
  void connectionDidReceiveResponse(const URLResponse& response) override;
  void connectionDidReceiveData(const Data& data) override;
  void connectionDidFailWithError(const Error& error) override;
  void connectionDidFinishLoading() override;

 protected:
  VRDURLSessionTask(Kind kind, std::weak_ptr<VRDURLSession> session, URLRequest request, std::uint64_t identifier,
                    bool invokesDelegate);

  /// Runs `step` on the task's queue, holding the task.
  void enqueue(std::function<void(VRDURLSessionTask&)> step);
  /// On the task's queue: the bytes of the reply, in order.
  virtual void takeData(const Data& data) = 0;
  /// On the task's queue, once: hands the outcome on.
  virtual void complete() = 0;
  /// Ends the transfer with `error` (kept unless one is kept already) and completes.
  void completeForError(const Error& error);
  void stopConnection();

  std::shared_ptr<VRDURLSession> session() const { return session_.lock(); }
  bool isRunning() const;
  void markCompleted();

  mutable std::mutex mutex_;
  std::optional<URLResponse> response_;
  std::optional<Error> error_;

 private:
  void resumeOnQueue();
  void startConnection(const VRDServerTrustDecision& decision);
  void cancelOnQueue();

  const Kind kind_;
  const std::weak_ptr<VRDURLSession> session_;
  const URLRequest request_;
  const std::uint64_t identifier_;
  const bool invokesDelegate_;
  OperationQueue queue_;
  State state_ = State::suspended;
  std::string taskDescription_;
  URLLoader::ConnectionId connection_ = 0;
  bool trustsAnchors_ = false;
};

/// A task whose reply's body is collected in memory; an upload task sends a file as its body.
class VRDURLSessionDataTask : public VRDURLSessionTask {
 public:
  using CompletionHandler =
      std::function<void(std::optional<Data> data, std::optional<URLResponse> response, std::optional<Error> error)>;

  VRDURLSessionDataTask(Kind kind, std::weak_ptr<VRDURLSession> session, URLRequest request, std::uint64_t identifier,
                        CompletionHandler completionHandler);

 protected:
  void takeData(const Data& data) override;
  void complete() override;

 private:
  CompletionHandler completionHandler_;
  std::optional<Data> data_;  // made on the first bytes
};

/// A task whose reply's body is written to a file, which exists only while the handler (or the delegate's
/// finished-downloading call) runs. A sink that cannot take every byte ends the task with
/// kVRDURLSessionDownloadTaskErrorDomain −1 (unless another error came first), never as a success.
class VRDURLSessionDownloadTask : public VRDURLSessionTask {
 public:
  using CompletionHandler = std::function<void(std::optional<std::filesystem::path> location,
                                               std::optional<URLResponse> response, std::optional<Error> error)>;

  VRDURLSessionDownloadTask(std::weak_ptr<VRDURLSession> session, URLRequest request, std::uint64_t identifier,
                            CompletionHandler completionHandler, std::filesystem::path targetURL,
                            std::unique_ptr<OutputStream> outputStream);
  ~VRDURLSessionDownloadTask() override;

  /// Where the body is written.
  const std::filesystem::path& temporaryFileURL() const { return targetURL_; }

 protected:
  void takeData(const Data& data) override;
  void complete() override;

 private:
  bool openStream();
  void writeDataToStream(const Data& data);
  void cleanup();

  CompletionHandler completionHandler_;
  const std::filesystem::path targetURL_;
  std::unique_ptr<OutputStream> outputStream_;
  bool streamOpen_ = false;
};

inline constexpr const char* kVRDURLSessionDownloadTaskErrorDomain = "VRDURLSessionDownloadTaskError";

}  // namespace crashreporting
