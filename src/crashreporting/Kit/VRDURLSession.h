#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/Kit/VRDURLSessionConfiguration.h"
#include "crashreporting/Kit/VRDURLSessionDelegate.h"
#include "crashreporting/Kit/VRDURLSessionTask.h"
#include "crashreporting/platform/OperationQueue.h"
#include "crashreporting/platform/URLConnection.h"

namespace crashreporting {

/// The library's URL session: data, upload-from-file and download tasks over the program's HTTP client,
/// reporting to a delegate on a delegate queue or to per-task completion handlers. Linux offers no system
/// session with background transfers, so this session is always the one used, and background requests are
/// not possible (VRDURLSessionConfiguration has no background configuration).
///
/// Server-trust challenges: before an https task connects, the delegate is asked; its answer (default
/// handling: the system's store; a credential: its anchors alone; cancel) is the trust the TLS handshake
/// applies. A handshake that the anchors reject ends the task as a cancelled challenge (URLErrorCancelled).
///
/// Its calls go on the delegate queue at high queue priority: on a queue the owner shares with its own work, an
/// answer is handled next rather than behind all that work.
///
/// A session lets go of its delegate when invalidated, and then makes no more tasks. A session that is
/// destroyed stops its transfers; their handlers do not run.
class VRDURLSession : public std::enable_shared_from_this<VRDURLSession> {
 public:
  using TasksHandler = std::function<void(std::vector<std::shared_ptr<VRDURLSessionDataTask>> dataTasks,
                                          std::vector<std::shared_ptr<VRDURLSessionDataTask>> uploadTasks,
                                          std::vector<std::shared_ptr<VRDURLSessionDownloadTask>> downloadTasks)>;

  /// Whether the system's own session should be used: never on Linux.
  static bool NSURLSessionShouldBeUsed() { return false; }
  /// A session with a copy of `configuration`, or none without one. With a delegate but no queue, a new
  /// default delegate queue; with neither, handlers still run on a queue of the session's own.
  static std::shared_ptr<VRDURLSession> sessionWithConfiguration(
      const std::optional<VRDURLSessionConfiguration>& configuration,
      std::shared_ptr<VRDURLSessionDelegate> delegate = nullptr, std::shared_ptr<OperationQueue> delegateQueue = nullptr);
  /// A queue that runs one operation at a time, named after the class and the queue's address.
  static std::shared_ptr<OperationQueue> newDefaultDelegateQueue();

  ~VRDURLSession();
  VRDURLSession(const VRDURLSession&) = delete;
  VRDURLSession& operator=(const VRDURLSession&) = delete;

  // Task makers: each answers the task suspended, or null once the session was invalidated.
  std::shared_ptr<VRDURLSessionDataTask> dataTaskWithRequest(const URLRequest& request);
  std::shared_ptr<VRDURLSessionDataTask> dataTaskWithRequest(const URLRequest& request,
                                                             VRDURLSessionDataTask::CompletionHandler handler);
  std::shared_ptr<VRDURLSessionDataTask> uploadTaskWithRequest(const URLRequest& request,
                                                               const std::filesystem::path& fromFile);
  std::shared_ptr<VRDURLSessionDataTask> uploadTaskWithRequest(const URLRequest& request,
                                                               const std::filesystem::path& fromFile,
                                                               VRDURLSessionDataTask::CompletionHandler handler);
  std::shared_ptr<VRDURLSessionDownloadTask> downloadTaskWithRequest(const URLRequest& request);
  std::shared_ptr<VRDURLSessionDownloadTask> downloadTaskWithRequest(
      const URLRequest& request, VRDURLSessionDownloadTask::CompletionHandler handler);
  std::shared_ptr<VRDURLSessionDownloadTask> downloadTaskWithURL(const std::string& url);

  /// Calls `handler` on the delegate queue with the tasks that have not completed, by kind.
  void getTasksWithCompletionHandler(TasksHandler handler);
  /// Cancels every task (each completes with URLErrorCancelled) and lets go of the delegate.
  void invalidateAndCancel();
  /// Lets go of the delegate; running tasks go on and call their handlers.
  void finishTasksAndInvalidate();

  std::shared_ptr<VRDURLSessionDelegate> delegate() const;
  /// Whether the session was invalidated (it then makes no tasks).
  bool isInvalidated() const;
  const std::shared_ptr<OperationQueue>& delegateQueue() const { return delegateQueue_; }
  const VRDURLSessionConfiguration& configuration() const { return configuration_; }
  std::string sessionDescription() const;
  void setSessionDescription(std::string description);

  // For the session's tasks.
  URLLoader& loader() { return loader_; }
  /// Asks the delegate how to judge the server of an https task; `decided` may run on any thread.
  void evaluateServerTrust(const VRDURLSessionTask& task, std::function<void(VRDServerTrustDecision)> decided);
  void taskDidReceiveResponse(const std::shared_ptr<VRDURLSessionTask>& task, const URLResponse& response);
  void taskDidReceiveData(const std::shared_ptr<VRDURLSessionTask>& task, const Data& data);
  /// On the delegate queue: `report` (the task's handler and its own delegate calls, given the delegate
  /// when the task reports to it), then the delegate's completion call, then the task leaves the session.
  void taskDidComplete(const std::shared_ptr<VRDURLSessionTask>& task,
                       std::function<void(VRDURLSession*, VRDURLSessionDelegate*)> report,
                       const std::optional<Error>& error);
  void removeTaskFromSet(const VRDURLSessionTask& task);

 private:
  VRDURLSession(VRDURLSessionConfiguration configuration, std::shared_ptr<VRDURLSessionDelegate> delegate,
                std::shared_ptr<OperationQueue> delegateQueue);
  /// Adds the task to the set and the configuration's header fields to its request; null when invalidated.
  std::optional<std::pair<URLRequest, std::uint64_t>> configureTask(URLRequest request);
  template <class Task>
  std::shared_ptr<Task> track(std::shared_ptr<Task> task);
  /// The delegate, when the task reports to it and the session has not let go of it.
  std::shared_ptr<VRDURLSessionDelegate> delegateFor(const VRDURLSessionTask& task) const;
  std::filesystem::path newDownloadFile() const;
  /// Queues a callback on the delegate queue.
  void post(std::function<void()> callback);

  const VRDURLSessionConfiguration configuration_;
  const std::shared_ptr<OperationQueue> delegateQueue_;
  URLLoader loader_;

  mutable std::mutex mutex_;  // guards what follows: the set of live tasks, the delegate, the description
  std::shared_ptr<VRDURLSessionDelegate> delegate_;
  std::vector<std::shared_ptr<VRDURLSessionTask>> taskSet_;
  bool invalidated_ = false;
  std::uint64_t nextTaskIdentifier_ = 1;
  std::string sessionDescription_;
};

}  // namespace crashreporting
