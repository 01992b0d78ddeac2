#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "crashreporting/Kit/VRDURLSession.h"
#include "crashreporting/Kit/ZIZCertificatePinner.h"
#include "crashreporting/Kit/ZIZNetworkClient.h"
#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/platform/AwaitedCount.h"
#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/OperationQueue.h"
#include "crashreporting/platform/URLRequest.h"

// The report upload client: sends one package file per upload task to the reports service and tells its
// delegate how each upload ended. Linux has no background URL sessions, so uploads run on the library's own
// session, which lives no longer than the process: an urgent upload is sent synchronously on the caller's
// thread, every other one is a task of that session.

namespace crashreporting {

/// The error domain of the client's own errors.
inline constexpr const char* kVRDNetworkErrorDomain = "VRDNetworkError";
/// The package file cannot be read; user information "path" = the file's path.
inline constexpr std::int64_t VRDNetworkErrorFileUnreadable = -2;

class VRDNetworkClient;

/// Implemented by the crash-reporting controller.
class VRDNetworkClientDelegate {
 public:
  virtual ~VRDNetworkClientDelegate() = default;
  /// Asked once, when the client is made.
  virtual bool networkClientCanUseBackgroundSessions(VRDNetworkClient& client) = 0;
  /// An upload ended: `path` is the package's absolute path, `error` none on success.
  virtual void networkClientDidFinishUploadWithPath(VRDNetworkClient& client, const std::string& path,
                                                    const std::optional<Error>& error) = 0;
};

class VRDNetworkClient : public std::enable_shared_from_this<VRDNetworkClient> {
 public:
  using Scheduler = ZIZNetworkClient::Scheduler;
  using UniformSource = ZIZNetworkClient::UniformSource;
  using MatchBlock = std::function<void(bool matched)>;

  /// How often a failing upload is started again (after the network client's back-off) before its error goes
  /// to the delegate.
  static constexpr std::uint64_t kRestartLimit = ZIZNetworkClient::kDefaultRetryLimit;

  /// `queue` is the session's delegate queue: completions, restarts, existing-task checks and error reports
  /// run there (give a queue that runs one operation at a time). The store must outlive the client. The
  /// delegate may be null; it must outlive the client, or be cleared with setDelegate(nullptr) first.
  /// `certPinner`: the anchors for https, unless the kit framework is in debug mode.
  static std::shared_ptr<VRDNetworkClient> create(std::shared_ptr<OperationQueue> queue,
                                                  const VRDFileManager& fileManager, VRDNetworkClientDelegate* delegate,
                                                  std::shared_ptr<const ZIZCertificatePinner> certPinner = pinner());
  /// A pinner of the kit's pinned certificate list.
  static std::shared_ptr<const ZIZCertificatePinner> pinner();

  /// Cancels the tasks still running; their completions report nothing.
  ~VRDNetworkClient();
  VRDNetworkClient(const VRDNetworkClient&) = delete;
  VRDNetworkClient& operator=(const VRDNetworkClient&) = delete;

  /// The session, made on first use and kept (a failure is logged and tried again at the next use).
  std::shared_ptr<VRDURLSession> session();
  /// Whether the system's URL session can be used: never on Linux.
  static bool NSURLSessionAvailable();
  /// Whether uploads go through a background session: never on Linux.
  bool supportsBackgroundRequests() const;
  /// Runs `block` at once: there is no background session to reconnect.
  void attemptToReconnectBackgroundSessionWithCompletionBlock(const std::function<void()>& block);

  /// Urgent: at once on the caller's thread; otherwise a new task, unless one for the same file exists.
  void startUploadRequest(const URLRequest& request, const std::string& filePath, bool immediately);
  /// Sends the file synchronously (bounded by the request's time-out); the delegate hears only of success.
  void startImmediateUploadRequest(const URLRequest& request, const std::string& filePath);
  /// A task of the session with the file as its body, described by its path relative to the store's root.
  void startNewUploadRequest(const URLRequest& request, const std::string& filePath);

  const std::string& rootPath() const { return fileManager_.rootPath(); }
  /// The path without the root's prefix ("<root>/"); none, with a WARN line, for a path outside the root.
  std::optional<std::string> relativeTaskPathForAbsolutePath(const std::string& path) const;
  std::string absolutePathForRelativeTaskPath(const std::string& relativePath) const;

  template <class Task>
  static bool taskArray(const std::vector<std::shared_ptr<Task>>& tasks,
                                                  const std::string& description) {
    for (const auto& task : tasks)
      if (task && task->taskDescription() == description) return true;
    return false;
  }
  /// Whether the session has an upload, data or download task with that description (no for no session).
  void checkSession(const std::shared_ptr<VRDURLSession>& session,
                                               const std::string& description, MatchBlock completion);
  /// On the queue: whether an upload of that description is under way (a task, or a restart waiting).
  void checkForExistingTaskMatchingDescription(const std::string& description, MatchBlock completion);

  /// Runs `block` on the queue once the back-off for the reply and the restarts made so far has passed.
  void runAfterRetryValueFromResponse(const std::optional<URLResponse>& response, std::uint64_t restarts,
                                      std::function<void()> block);
  /// Starts the task's upload again after the back-off, or, once the restart limit is reached, reports the
  /// limit's error.
  void restartTask(VRDURLSessionTask& task);
  void handleTask(VRDURLSessionTask& task, const std::optional<Error>& error);
  void handleTaskDescriptionCompletedWithError(const std::string& description, const std::optional<Error>& error);

  // The session's delegate calls, on the queue.
  void URLSessionDidBecomeInvalidWithError(const std::optional<Error>& error);
  void URLSessionDidReceiveChallenge(const URLAuthenticationChallenge& challenge,
                                     const VRDURLSessionDelegate::ChallengeCompletion& completion);
  void URLSessionDidFinishEventsForBackgroundURLSession();
  void URLSessionTaskDidCompleteWithError(VRDURLSessionTask& task, const std::optional<Error>& error);

  void setDelegate(VRDNetworkClientDelegate* delegate);
  /// Run when a background session has delivered its events; nothing here sets it.
  void setBackgroundCompletionHandler(std::function<void()> handler);
  /// Where restarts wait (DelayedDispatch by default) and the jitter of their back-off (tests).
  void setScheduler(Scheduler scheduler);
  void setUniformSource(UniformSource source);

  const std::shared_ptr<OperationQueue>& operationQueue() const { return operationQueue_; }
  const ZIZCertificatePinner* certPinner() const { return certPinner_.get(); }

  /// From any thread, as the process exits: from now on no task starts (a restart neither); the package stays in
  /// prepared for the next start.
  void holdNewUploads() { holding_ = true; }
  /// From any thread: waits until every task started has been answered and its answer handled (the delegate
  /// told, or a restart waiting out its back-off), at most until `deadline`; whether it was.
  bool waitUntilAnswered(std::chrono::steady_clock::time_point deadline);

 private:
  VRDNetworkClient(std::shared_ptr<OperationQueue> queue, const VRDFileManager& fileManager,
                   VRDNetworkClientDelegate* delegate, std::shared_ptr<const ZIZCertificatePinner> certPinner);
  void reportCompletion(const std::string& path, const std::optional<Error>& error);
  /// Whether the reply says the server took the upload: any 2xx status.
  static bool isAccepted(const std::optional<URLResponse>& response);
  /// Logs a failed attempt: the first of a package as a warning, later ones in debug mode only.
  void noteFailure(const std::string& description, const std::optional<URLResponse>& response,
                   const std::optional<Error>& error);
  /// Ends the upload of `description`: forgets its restarts.
  void forget(const std::string& description);

  const std::shared_ptr<OperationQueue> operationQueue_;
  const VRDFileManager& fileManager_;
  const std::shared_ptr<const ZIZCertificatePinner> certPinner_;
  bool canUseBackgroundSession_ = false;

  std::recursive_mutex delegateMutex_;  // held while the delegate is called: setDelegate waits for a call under way
  VRDNetworkClientDelegate* delegate_ = nullptr;

  mutable std::mutex mutex_;  // guards what follows
  std::shared_ptr<VRDURLSession> session_;
  std::function<void()> backgroundCompletionHandler_;
  Scheduler scheduler_;
  UniformSource uniform_;
  std::mt19937 random_{std::random_device{}()};
  /// Uploads under way by description: restarts made so far.
  std::map<std::string, std::uint64_t> uploads_;
  /// Packages whose failed upload was already warned of.
  std::set<std::string> warned_;

  std::atomic<bool> holding_{false};
  /// Tasks started and not yet answered.
  AwaitedCount awaited_;
};

}  // namespace crashreporting
