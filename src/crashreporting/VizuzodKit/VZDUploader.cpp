#include "crashreporting/VizuzodKit/VZDUploader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "crashreporting/Kit/ZIZNetworkResponseHandler.h"
#include "crashreporting/VizuzodKit/VZDLogger.h"
#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

/// The session's delegate. It holds the uploader weakly: a session keeps its delegate until invalidated,
/// and a dropped session may outlive the uploader's interest in it.
class SessionDelegate final : public VRDURLSessionDelegate {
 public:
  explicit SessionDelegate(std::weak_ptr<VZDUploader> uploader) : uploader_(std::move(uploader)) {}

  void URLSessionTaskDidCompleteWithError(VRDURLSession& session, VRDURLSessionTask& task,
                                          const std::optional<Error>& error) override {
    if (const auto uploader = uploader_.lock()) uploader->URLSessionTaskDidCompleteWithError(session, task, error);
  }
  void URLSessionDidReceiveChallenge(VRDURLSession& session, const URLAuthenticationChallenge& challenge,
                                     const ChallengeCompletion& completion) override {
    if (const auto uploader = uploader_.lock()) {
      uploader->URLSessionDidReceiveChallenge(session, challenge, completion);
    } else {
      completion(URLSessionAuthChallengeDisposition::cancelAuthenticationChallenge, std::nullopt);
    }
  }
  void URLSessionDidBecomeInvalidWithError(VRDURLSession& session, const std::optional<Error>& error) override {
    if (const auto uploader = uploader_.lock()) uploader->URLSessionDidBecomeInvalidWithError(session, error);
  }

 private:
  std::weak_ptr<VZDUploader> uploader_;
};

}  // namespace

std::shared_ptr<VZDUploader> VZDUploader::create(std::shared_ptr<OperationQueue> queue,
                                                 std::weak_ptr<VZDUploaderDelegate> delegate) {
  return std::make_shared<VZDUploader>(Token{}, std::move(queue), std::move(delegate));
}

VZDUploader::VZDUploader(Token, std::shared_ptr<OperationQueue> queue, std::weak_ptr<VZDUploaderDelegate> delegate)
    : operationQueue_(std::move(queue)), delegate_(std::move(delegate)) {}

VZDUploader::~VZDUploader() = default;

void VZDUploader::startUploadRequest(const URLRequest& request, const std::filesystem::path& filePath,
                                     const std::string& uniqueName) {
  operationQueue_->addOperationWithBlock([self = shared_from_this(), request, filePath, uniqueName] {
    self->checkForExistingTaskMatchingDescription(uniqueName, [self, request, filePath, uniqueName](bool exists) {
      if (exists) {
        VZDLogger::sharedLogger().logWithLabel(kLogLabel,
                                               "A task currently exists for '" + uniqueName + "', skipping");
        return;
      }
      self->startNewUploadRequest(request, filePath, uniqueName);
    });
  });
}

void VZDUploader::attemptToReconnectBackgroundSessionWithCompletionBlock(std::function<void()> block) {
  // Without background sessions there is nothing to wait for.
  operationQueue_->addOperationWithBlock([block = std::move(block)] {
    if (block) block();
  });
}

void VZDUploader::setDefaultUploadTimeout(double seconds) {
  operationQueue_->addOperationWithBlock([self = shared_from_this(), seconds] {
    self->defaultUploadTimeout_ = seconds;
    self->dropSession();
  });
}

void VZDUploader::setLowPowerUploadTimeout(double seconds) {
  operationQueue_->addOperationWithBlock([self = shared_from_this(), seconds] {
    self->lowPowerUploadTimeout_ = seconds;
    self->dropSession();
  });
}

void VZDUploader::powerStageChanged() {
  operationQueue_->addOperationWithBlock([self = shared_from_this()] { self->dropSession(); });
}

const std::shared_ptr<VRDURLSession>& VZDUploader::session() {
  if (session_) return session_;
  // No background configurations exist here, so the default one is always used.
  auto configuration = supportsBackgroundRequests() ? VRDURLSessionConfiguration::backgroundSessionConfiguration(
                                                          "com.zizozu.sdk.mac.analytics.background")
                                                    : std::nullopt;
  if (!configuration) configuration = VRDURLSessionConfiguration::defaultSessionConfiguration();
  if (configuration) {
    configuration->allowsCellularAccess = !lowPowerMode();
    configuration->timeoutIntervalForResource = lowPowerMode() ? lowPowerUploadTimeout_ : defaultUploadTimeout_;
  }
  session_ = VRDURLSession::sessionWithConfiguration(
      configuration, std::make_shared<SessionDelegate>(weak_from_this()), operationQueue_);
  return session_;
}

void VZDUploader::dropSession() {
  if (!session_) return;
  // Not invalidated: its running tasks finish and report as before.
  droppedSessions_.push_back(std::move(session_));
  session_ = nullptr;
  pruneFinishedTasks();
}

void VZDUploader::checkForExistingTaskMatchingDescription(const std::string& uniqueName,
                                                          std::function<void(bool)> completion) {
  const auto& current = session();
  if (!current) {
    completion(false);
    return;
  }
  current->getTasksWithCompletionHandler(
      [self = shared_from_this(), uniqueName, completion = std::move(completion)](
          auto dataTasks, auto uploadTasks, auto downloadTasks) {
        const auto named = [&](const auto& task) { return task->taskDescription() == uniqueName; };
        bool exists = std::any_of(uploadTasks.begin(), uploadTasks.end(), named) ||
                      std::any_of(dataTasks.begin(), dataTasks.end(), named) ||
                      std::any_of(downloadTasks.begin(), downloadTasks.end(), named);
        // Tasks of a session dropped while they ran count too, so no file is sent twice at once.
        self->pruneFinishedTasks();
        for (const auto& started : self->startedTasks_) {
          const auto task = started.task.lock();
          if (task && task->taskDescription() == uniqueName) exists = true;
        }
        completion(exists);
      });
}

void VZDUploader::startNewUploadRequest(const URLRequest& request, const std::filesystem::path& filePath,
                                        const std::string& uniqueName) {
  const auto report = [&](std::int64_t code) {
    const Error error = errorWithCode(code, errorUserInfoWithFilePath(filePath, uniqueName));
    operationQueue_->addOperationWithBlock(
        [self = shared_from_this(), uniqueName, error] { self->handleTaskDescription(uniqueName, error); });
  };
  if (holding_) {
    VZDLogger::sharedLogger().logWithLabel(kLogLabel, "'" + uniqueName + "' is left for a later start");
    return;
  }
  if (request.URL().empty() || filePath.empty() || uniqueName.empty()) {
    report(VZDUploaderErrorMissingArgument);
    return;
  }
  // Opened once: a shortage between two looks would take a whole package for an unreadable one, and drop it.
  const FileOpenCheck check = checkReadableRegularFile(filePath);
  if (check.passingError != 0) {
    SystemLog::write("[Vizuzod] '" + filePath.filename().string() + "' cannot be opened now (" +
                     std::strerror(check.passingError) + "): it is left for a later attempt");
    report(VZDUploaderErrorUnreadableNow);
    return;
  }
  if (!check.readable) {
    report(VZDUploaderErrorUnreadableFile);
    return;
  }
  const auto& current = session();
  const auto task = current ? current->uploadTaskWithRequest(request, filePath) : nullptr;
  if (!task) {
    report(VZDUploaderErrorNoTask);
    return;
  }
  task->setTaskDescription(uniqueName);
  startedTasks_.push_back({current.get(), task});
  { awaited_.started(); }
  task->resume();
}

void VZDUploader::URLSessionTaskDidCompleteWithError(VRDURLSession&, VRDURLSessionTask& task,
                                                     const std::optional<Error>& error) {
  const auto delegate = delegate_.lock();
  const std::string uniqueName = task.taskDescription();
  const URLRequest originalRequest = task.originalRequest();
  pruneFinishedTasks();
  // Counted as answered once: when the delegate has been told (the package removed once sent), or when a retry
  // waits its back-off, during which nothing is on its way.
  const auto awaited = std::make_shared<std::atomic<bool>>(true);
  const auto settle = [weak = weak_from_this(), awaited] {
    if (!awaited->exchange(false)) return;
    if (const auto self = weak.lock()) self->answered();
  };
  if (!delegate) {
    settle();
    return;
  }
  const auto judgedAtOnce = std::make_shared<std::atomic<bool>>(false);
  delegate->uploaderCompletedRequest(
      *this, originalRequest, task.response(), uniqueName, error,
      [weak = weak_from_this(), originalRequest, uniqueName, settle, judgedAtOnce](
          bool retry, const std::optional<Error>& judged) {
        judgedAtOnce->store(true);
        const auto self = weak.lock();
        if (!self) return;
        if (retry) {
          settle();
          VZDLogger::sharedLogger().log("Retrying task with name " + uniqueName);
          self->restartTask(originalRequest, uniqueName);
        } else {
          // The answer may come on any thread; the report goes out on the queue, ahead of the events waiting
          // there, as the session's calls do: a package the server took is deleted before an exit can cut it.
          self->operationQueue_->addOperationWithBlock(
              [self, uniqueName, judged, settle] {
                self->handleTaskDescription(uniqueName, judged);
                settle();
              },
              Operation::QueuePriority::high);
        }
      });
  if (!judgedAtOnce->load()) settle();  // a retry after its back-off
}

void VZDUploader::URLSessionDidReceiveChallenge(VRDURLSession& session, const URLAuthenticationChallenge& challenge,
                                                const ChallengeCompletion& completion) {
  if (const auto delegate = delegate_.lock()) {
    delegate->uploaderSessionDidReceiveChallenge(*this, session, challenge, completion);
    return;
  }
  completion(URLSessionAuthChallengeDisposition::performDefaultHandling, std::nullopt);
}

void VZDUploader::URLSessionDidBecomeInvalidWithError(VRDURLSession&, const std::optional<Error>& error) {
  VZDLogger::sharedLogger().logWithLabel(
      kLogLabel, "Error: session has become invalid " + (error ? error->description() : std::string("(null)")));
}

void VZDUploader::restartTask(const URLRequest& originalRequest, const std::string& uniqueName) {
  operationQueue_->addOperationWithBlock([self = shared_from_this(), originalRequest, uniqueName] {
    const auto delegate = self->delegate_.lock();
    if (!delegate) return;
    self->startUploadRequest(originalRequest, delegate->uploaderFilePathForUniqueName(*self, uniqueName), uniqueName);
  });
}

void VZDUploader::handleTaskDescription(const std::string& uniqueName, const std::optional<Error>& error) {
  if (const auto delegate = delegate_.lock()) delegate->uploaderDidFinishUploadWithUniqueName(*this, uniqueName, error);
}

void VZDUploader::answered() { awaited_.ended(); }

bool VZDUploader::waitUntilAnswered(std::chrono::steady_clock::time_point deadline) {
  return awaited_.waitUntilNone(deadline);
}

void VZDUploader::pruneFinishedTasks() {
  std::erase_if(startedTasks_, [](const StartedTask& started) {
    const auto task = started.task.lock();
    return !task || task->state() == VRDURLSessionTask::State::completed;
  });
  std::erase_if(droppedSessions_, [&](const std::shared_ptr<VRDURLSession>& dropped) {
    return std::none_of(startedTasks_.begin(), startedTasks_.end(),
                        [&](const StartedTask& started) { return started.session == dropped.get(); });
  });
}

Error VZDUploader::errorWithCode(std::int64_t code, const Dictionary& userInfo) {
  return ZIZNetworkResponseHandler::errorForCode(code, userInfo);
}

Dictionary VZDUploader::errorUserInfoWithFilePath(const std::filesystem::path& filePath,
                                                  const std::string& uniqueName) {
  Dictionary info;
  info.emplace(kVZDFilePathErrorKey, Value(filePath.empty() ? std::string("(null)") : filePath.string()));
  info.emplace(kVZDUploaderUniqueNameKey, Value(uniqueName.empty() ? std::string("(null)") : uniqueName));
  return info;
}

}  // namespace crashreporting
