#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/Kit/VRDURLSession.h"
#include "crashreporting/VizuzodKit/VZDLogOperations.h"
#include "crashreporting/VizuzodKit/VZDUploaderDelegate.h"
#include "crashreporting/platform/AwaitedCount.h"
#include "crashreporting/platform/OperationQueue.h"

namespace crashreporting {

/// The user-information keys of the uploader's errors: the file's path and the upload's unique name.
inline constexpr const char* kVZDFilePathErrorKey = "NSFilePath";
inline constexpr const char* kVZDUploaderUniqueNameKey = "VZDUploaderUniqueName";

enum VZDUploaderErrorCode : std::int64_t {
  VZDUploaderErrorMissingArgument = -2,  ///< no request, or an empty file path or unique name
  VZDUploaderErrorNoTask = -3,           ///< the session made no task
  VZDUploaderErrorUnreadableFile = -8,   ///< no readable regular file at the path
  VZDUploaderErrorUnreadableNow = -9,    ///< the file cannot be opened now, for a passing reason
};

/// Sends packaged events files, one task per unique name, over a VRDURLSession whose callbacks run on the
/// analytics event queue. The unique name is an upload's one identity across retries: a second start while
/// a task of that name is running is skipped. Every state change runs on the queue; public calls hop onto it.
/// Hold it in a std::shared_ptr (create()).
class VZDUploader final : public VZDUploadTarget,
                          public VRDURLSessionDelegate,
                          public std::enable_shared_from_this<VZDUploader> {
 public:
  static constexpr double kInitialDefaultUploadTimeout = 3600.0;
  static constexpr double kInitialLowPowerUploadTimeout = 21600.0;
  /// The label of the uploader's log lines.
  static constexpr const char* kLogLabel = "VZDUploader";

  /// The delegate is held weakly.
  static std::shared_ptr<VZDUploader> create(std::shared_ptr<OperationQueue> queue,
                                             std::weak_ptr<VZDUploaderDelegate> delegate);
  ~VZDUploader() override;
  VZDUploader(const VZDUploader&) = delete;
  VZDUploader& operator=(const VZDUploader&) = delete;

  /// Sends `filePath` as the body of `request`, unless a task named `uniqueName` is running already (logged
  /// "A task currently exists for '<name>', skipping"). An empty path or name ends in −2, a file that cannot
  /// be read in −8, one that cannot be opened now for a passing reason in −9, each reported to
  /// uploaderDidFinishUploadWithUniqueName. Once new uploads are held, nothing is started (said once a name).
  void startUploadRequest(const URLRequest& request, const std::filesystem::path& filePath,
                          const std::string& uniqueName) override;
  /// Runs `block` on the queue: there are no background sessions to reconnect to.
  void attemptToReconnectBackgroundSessionWithCompletionBlock(std::function<void()> block);
  /// Store the time-out (seconds) and drop the session, so the next upload uses a new one.
  void setDefaultUploadTimeout(double seconds);
  void setLowPowerUploadTimeout(double seconds);
  double defaultUploadTimeout() const { return defaultUploadTimeout_; }
  double lowPowerUploadTimeout() const { return lowPowerUploadTimeout_; }
  /// Drops the session (a thermal-state change).
  void powerStageChanged();
  /// On the queue: from now on no upload starts (a retry neither); their files stay where they are.
  void holdNewUploads() { holding_ = true; }
  /// From any thread: waits until every upload started has been answered and its answer handled (the delegate
  /// told, or a retry scheduled), at most until `deadline`; whether it was.
  bool waitUntilAnswered(std::chrono::steady_clock::time_point deadline);
  /// Whether the thermal state is above nominal. Linux reports no thermal state: always false.
  static bool lowPowerMode() { return false; }
  static bool shouldUseBackgroundRequests() { return false; }
  static bool supportsBackgroundRequests() { return shouldUseBackgroundRequests(); }

  const std::shared_ptr<OperationQueue>& operationQueue() const { return operationQueue_; }

  // The session's delegate calls, on the queue.
  void URLSessionTaskDidCompleteWithError(VRDURLSession& session, VRDURLSessionTask& task,
                                          const std::optional<Error>& error) override;
  void URLSessionDidReceiveChallenge(VRDURLSession& session, const URLAuthenticationChallenge& challenge,
                                     const ChallengeCompletion& completion) override;
  void URLSessionDidBecomeInvalidWithError(VRDURLSession& session, const std::optional<Error>& error) override;

 private:
  class Token {
    friend class VZDUploader;
    Token() = default;
  };

 public:
  VZDUploader(Token, std::shared_ptr<OperationQueue> queue, std::weak_ptr<VZDUploaderDelegate> delegate);

 private:

  /// The session, made on first use (on the queue).
  const std::shared_ptr<VRDURLSession>& session();
  void dropSession();
  /// On the queue: whether a task of this name runs in the session or in one dropped while it ran.
  void checkForExistingTaskMatchingDescription(const std::string& uniqueName, std::function<void(bool)> completion);
  void startNewUploadRequest(const URLRequest& request, const std::filesystem::path& filePath,
                             const std::string& uniqueName);
  void restartTask(const URLRequest& originalRequest, const std::string& uniqueName);
  void handleTaskDescription(const std::string& uniqueName, const std::optional<Error>& error);
  /// Forgets finished tasks and lets go of dropped sessions that no longer run any.
  void pruneFinishedTasks();
  /// One started upload less awaits its answer.
  void answered();
  static Error errorWithCode(std::int64_t code, const Dictionary& userInfo);
  static Dictionary errorUserInfoWithFilePath(const std::filesystem::path& filePath, const std::string& uniqueName);

  const std::shared_ptr<OperationQueue> operationQueue_;
  const std::weak_ptr<VZDUploaderDelegate> delegate_;
  std::atomic<double> defaultUploadTimeout_{kInitialDefaultUploadTimeout};
  std::atomic<double> lowPowerUploadTimeout_{kInitialLowPowerUploadTimeout};

  // Touched on the queue only.
  std::shared_ptr<VRDURLSession> session_;
  /// Dropped sessions are kept while their tasks run: a session that goes stops its transfers.
  std::vector<std::shared_ptr<VRDURLSession>> droppedSessions_;
  struct StartedTask {
    const VRDURLSession* session;
    std::weak_ptr<VRDURLSessionTask> task;
  };
  std::vector<StartedTask> startedTasks_;
  bool holding_ = false;

  /// Uploads started and not yet answered.
  AwaitedCount awaited_;
};

}  // namespace crashreporting
