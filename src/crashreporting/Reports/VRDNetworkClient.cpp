#include "crashreporting/Reports/VRDNetworkClient.h"

#include <unistd.h>

#include <chrono>

#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Kit/VRDURLSessionConfiguration.h"
#include "crashreporting/Kit/ZIZNetworkResponseHandler.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/Reports/VRDApplication.h"
#include "crashreporting/Reports/VRDKitConstants.h"
#include "crashreporting/platform/DelayedDispatch.h"
#include "crashreporting/platform/MainExecutor.h"
#include "crashreporting/platform/SystemLog.h"
#include "crashreporting/platform/URLSynchronousRequest.h"

namespace crashreporting {
namespace {

void log(const std::string& text) { SystemLog::write("[Vuveradarad:Crash:Client] " + text); }

bool readable(const std::string& path) { return !path.empty() && access(path.c_str(), R_OK) == 0; }

/// The session's delegate: forwards to the client without holding it, so the session never keeps it alive.
class SessionDelegate : public VRDURLSessionDelegate {
 public:
  explicit SessionDelegate(std::weak_ptr<VRDNetworkClient> client) : client_(std::move(client)) {}

  void URLSessionDidBecomeInvalidWithError(VRDURLSession&, const std::optional<Error>& error) override {
    if (const auto client = client_.lock()) client->URLSessionDidBecomeInvalidWithError(error);
  }
  void URLSessionDidReceiveChallenge(VRDURLSession&, const URLAuthenticationChallenge& challenge,
                                     const ChallengeCompletion& completion) override {
    if (const auto client = client_.lock()) {
      client->URLSessionDidReceiveChallenge(challenge, completion);
    } else {
      completion(URLSessionAuthChallengeDisposition::cancelAuthenticationChallenge, std::nullopt);
    }
  }
  void URLSessionTaskDidCompleteWithError(VRDURLSession&, VRDURLSessionTask& task,
                                          const std::optional<Error>& error) override {
    if (const auto client = client_.lock()) client->URLSessionTaskDidCompleteWithError(task, error);
  }

 private:
  std::weak_ptr<VRDNetworkClient> client_;
};

/// The anchors a synchronous send trusts: the pinned ones, unless in debug mode (then the system's store).
std::optional<std::string> anchorsFor(const ZIZCertificatePinner* pinner) {
  if (ZIZIsDebugEnabled() || pinner == nullptr) return std::nullopt;
  std::string pem;
  for (const Certificate& anchor : pinner->certificates()) pem += anchor.pem();
  return pem;  // empty: trusts nothing, as a pinner without anchors cancels every challenge
}

Error unreadableFileError(const std::string& path) {
  return Error{kVRDNetworkErrorDomain, VRDNetworkErrorFileUnreadable, {{"path", Value(path)}}, {}};
}

}  // namespace

std::shared_ptr<const ZIZCertificatePinner> VRDNetworkClient::pinner() {
  return std::make_shared<const ZIZCertificatePinner>(ZIZPinnedCertificates());
}

std::shared_ptr<VRDNetworkClient> VRDNetworkClient::create(std::shared_ptr<OperationQueue> queue,
                                                           const VRDFileManager& fileManager,
                                                           VRDNetworkClientDelegate* delegate,
                                                           std::shared_ptr<const ZIZCertificatePinner> certPinner) {
  if (!queue) return nullptr;
  std::shared_ptr<VRDNetworkClient> client(
      new VRDNetworkClient(std::move(queue), fileManager, delegate, std::move(certPinner)));
  if (delegate) client->canUseBackgroundSession_ = delegate->networkClientCanUseBackgroundSessions(*client);
  if (!client->supportsBackgroundRequests() && ZIZIsDebugEnabled())
    log("Background session uploading not supported, asynchronous uploading will be used");
  return client;
}

VRDNetworkClient::VRDNetworkClient(std::shared_ptr<OperationQueue> queue, const VRDFileManager& fileManager,
                                   VRDNetworkClientDelegate* delegate,
                                   std::shared_ptr<const ZIZCertificatePinner> certPinner)
    : operationQueue_(std::move(queue)),
      fileManager_(fileManager),
      certPinner_(std::move(certPinner)),
      delegate_(delegate) {}

VRDNetworkClient::~VRDNetworkClient() {
  if (session_) session_->invalidateAndCancel();
}

void VRDNetworkClient::setDelegate(VRDNetworkClientDelegate* delegate) {
  const std::lock_guard lock(delegateMutex_);
  delegate_ = delegate;
}

void VRDNetworkClient::setBackgroundCompletionHandler(std::function<void()> handler) {
  const std::lock_guard lock(mutex_);
  backgroundCompletionHandler_ = std::move(handler);
}

void VRDNetworkClient::setScheduler(Scheduler scheduler) {
  const std::lock_guard lock(mutex_);
  scheduler_ = std::move(scheduler);
}

void VRDNetworkClient::setUniformSource(UniformSource source) {
  const std::lock_guard lock(mutex_);
  uniform_ = std::move(source);
}

bool VRDNetworkClient::NSURLSessionAvailable() { return VRDURLSession::NSURLSessionShouldBeUsed(); }

bool VRDNetworkClient::supportsBackgroundRequests() const {
  if (VRDApplicationIsExtension() || !NSURLSessionAvailable()) return false;
  return canUseBackgroundSession_;
}

std::shared_ptr<VRDURLSession> VRDNetworkClient::session() {
  const std::lock_guard lock(mutex_);
  if (session_) return session_;
  std::optional<VRDURLSessionConfiguration> configuration;
  if (supportsBackgroundRequests())
    configuration = VRDURLSessionConfiguration::backgroundSessionConfiguration(kVRDBackgroundSessionIdentifier);
  if (!configuration) configuration = VRDURLSessionConfiguration::defaultSessionConfiguration();
  session_ = VRDURLSession::sessionWithConfiguration(configuration, std::make_shared<SessionDelegate>(weak_from_this()),
                                                     operationQueue_);
  if (!session_) log("Failed to initialize");
  return session_;
}

void VRDNetworkClient::attemptToReconnectBackgroundSessionWithCompletionBlock(const std::function<void()>& block) {
  if (!block) return;
  if (supportsBackgroundRequests()) {
    MainExecutor::shared().async(block);
  } else {
    block();
  }
}

void VRDNetworkClient::startUploadRequest(const URLRequest& request, const std::string& filePath, bool immediately) {
  if (immediately) {
    startImmediateUploadRequest(request, filePath);
    return;
  }
  const auto description = relativeTaskPathForAbsolutePath(filePath);
  if (!description) {
    // Its completion could not be matched to the file again: refused, and the file stays where it is.
    operationQueue_->addOperationWithBlock([self = shared_from_this(), filePath] {
      self->reportCompletion(filePath, unreadableFileError(filePath));
    });
    return;
  }
  checkForExistingTaskMatchingDescription(
      *description, [self = shared_from_this(), request, filePath](bool exists) {
        if (exists) {
          if (ZIZIsDebugEnabled()) log("A task currently exists for this upload, skipping");
          return;
        }
        self->startNewUploadRequest(request, filePath);
      });
}

void VRDNetworkClient::startImmediateUploadRequest(const URLRequest& request, const std::string& filePath) {
  if (supportsBackgroundRequests()) {
    startNewUploadRequest(request, filePath);
    return;
  }
  if (!readable(filePath)) {
    VRDLogWarn("Error: file unreadable");
    return;
  }
  URLRequest streamed = request;
  streamed.setHTTPBody({});
  streamed.setHTTPBodyFile(filePath);
  const URLSynchronousReply reply = sendSynchronousRequest(streamed, anchorsFor(certPinner_.get()));
  // Anything but acceptance leaves the file for a later launch.
  if (isAccepted(reply.response)) {
    reportCompletion(filePath, std::nullopt);
    return;
  }
  noteFailure(relativeTaskPathForAbsolutePath(filePath).value_or(filePath), reply.response, reply.error);
}

bool VRDNetworkClient::isAccepted(const std::optional<URLResponse>& response) {
  return response && response->statusCode && *response->statusCode >= 200 && *response->statusCode <= 299;
}

void VRDNetworkClient::noteFailure(const std::string& description, const std::optional<URLResponse>& response,
                                   const std::optional<Error>& error) {
  std::string what = "no reply";
  if (response && response->statusCode) {
    what = "status " + std::to_string(*response->statusCode);
  } else if (error) {
    what = error->description();
  }
  bool first = false;
  {
    const std::lock_guard lock(mutex_);
    first = warned_.insert(description).second;
  }
  // Said once per package, whatever the debug switch: a server that refuses every report must not go unseen.
  if (first) {
    log("WARNING: the upload of '" + description + "' failed (" + what + "); it will be tried again");
    VRDLogWarn("Error: upload of '%s' failed (%s)\n", description.c_str(), what.c_str());
  } else if (ZIZIsDebugEnabled()) {
    log("The upload of '" + description + "' failed again (" + what + ")");
  }
}

void VRDNetworkClient::startNewUploadRequest(const URLRequest& request, const std::string& filePath) {
  const auto description = relativeTaskPathForAbsolutePath(filePath);
  if (holding_) {
    // The exit would cut it, after the server may have taken the report: the next start sends it.
    if (ZIZIsDebugEnabled())
      log("The process exits: '" + description.value_or(filePath) + "' is left for the next start");
    if (description) forget(*description);
    return;
  }
  if (!description || !readable(filePath)) {
    operationQueue_->addOperationWithBlock([self = shared_from_this(), filePath] {
      self->reportCompletion(filePath, unreadableFileError(filePath));
    });
    if (description) forget(*description);
    return;
  }
  const auto current = session();
  if (!current) {
    if (description) forget(*description);
    return;
  }
  const auto task = current->uploadTaskWithRequest(request, filePath);
  if (!task) {
    log("Failed to initialize");
    forget(*description);
    return;
  }
  task->setTaskDescription(*description);
  {
    const std::lock_guard lock(mutex_);
    uploads_.try_emplace(*description, 0);
  }
  awaited_.started();
  task->resume();
}

std::optional<std::string> VRDNetworkClient::relativeTaskPathForAbsolutePath(const std::string& path) const {
  const std::string prefix = rootPath() + "/";
  if (path.compare(0, prefix.size(), prefix) != 0) {
    VRDLogWarn("Error: path '%s' is not at the root '%s'", path.c_str(), rootPath().c_str());
    return std::nullopt;
  }
  // Only the prefix goes: the root's text may stand again further on in the path.
  return path.substr(prefix.size());
}

std::string VRDNetworkClient::absolutePathForRelativeTaskPath(const std::string& relativePath) const {
  return (std::filesystem::path(rootPath()) / relativePath).string();
}

void VRDNetworkClient::checkSession(const std::shared_ptr<VRDURLSession>& session,
                                                               const std::string& description,
                                                               MatchBlock completion) {
  if (!session) {
    completion(false);
    return;
  }
  session->getTasksWithCompletionHandler(
      [description, completion = std::move(completion)](auto dataTasks, auto uploadTasks, auto downloadTasks) {
        completion(taskArray(uploadTasks, description) ||
                   taskArray(dataTasks, description) ||
                   taskArray(downloadTasks, description));
      });
}

void VRDNetworkClient::checkForExistingTaskMatchingDescription(const std::string& description,
                                                               MatchBlock completion) {
  operationQueue_->addOperationWithBlock([self = shared_from_this(), description, completion = std::move(completion)] {
    bool waiting = false;
    {
      const std::lock_guard lock(self->mutex_);
      waiting = self->uploads_.count(description) != 0;
    }
    // A restart waiting out its back-off has no task, yet the upload is under way.
    if (waiting) {
      completion(true);
      return;
    }
    self->checkSession(self->session(), description, completion);
  });
}

void VRDNetworkClient::runAfterRetryValueFromResponse(const std::optional<URLResponse>& response,
                                                      std::uint64_t restarts, std::function<void()> block) {
  Scheduler scheduler;
  double jitter = 1.0;
  {
    const std::lock_guard lock(mutex_);
    scheduler = scheduler_;
    const double uniform = uniform_ ? uniform_() : std::uniform_real_distribution<double>(0.0, 1.0)(random_);
    const double low = static_cast<double>(0.9f);
    const double high = static_cast<double>(1.1f);
    jitter = low + (high - low) * uniform;
  }
  const double seconds =
      ZIZNetworkClient::backOffDelay(ZIZNetworkResponseHandler::retryValueForResponse(response), restarts, jitter);
  const auto delay = std::chrono::nanoseconds(static_cast<std::int64_t>(seconds * 1e9));
  // The wait only delays: the work itself always goes back onto the queue.
  auto requeue = [queue = operationQueue_, block = std::move(block)]() mutable {
    queue->addOperationWithBlock(std::move(block));
  };
  if (scheduler) {
    scheduler(delay, std::move(requeue));
  } else {
    DelayedDispatch::after(delay, std::move(requeue));
  }
}

void VRDNetworkClient::restartTask(VRDURLSessionTask& task) {
  const std::string description = task.taskDescription();
  std::uint64_t restarts = 0;
  {
    const std::lock_guard lock(mutex_);
    const auto found = uploads_.find(description);
    restarts = found == uploads_.end() ? 0 : found->second;
    if (restarts < kRestartLimit) uploads_[description] = restarts + 1;
  }
  if (restarts >= kRestartLimit) {
    // A server that stays down gets no more requests from this upload; the caller decides when to try again.
    Dictionary info;
    info.emplace("retryLimit", Value(static_cast<std::int64_t>(kRestartLimit)));
    info.emplace(kURLErrorFailingURLStringKey, Value(task.originalRequest().URL()));
    handleTaskDescriptionCompletedWithError(
        description, ZIZNetworkResponseHandler::errorForCode(ZIZNetworkErrorRetryLimit, std::move(info)));
    return;
  }
  const std::weak_ptr<VRDNetworkClient> weak = weak_from_this();
  runAfterRetryValueFromResponse(task.response(), restarts, [weak, request = task.originalRequest(), description] {
    if (const auto self = weak.lock())
      self->startNewUploadRequest(request, self->absolutePathForRelativeTaskPath(description));
  });
}

void VRDNetworkClient::handleTask(VRDURLSessionTask& task, const std::optional<Error>& error) {
  handleTaskDescriptionCompletedWithError(task.taskDescription(), error);
}

void VRDNetworkClient::handleTaskDescriptionCompletedWithError(const std::string& description,
                                                               const std::optional<Error>& error) {
  forget(description);
  reportCompletion(absolutePathForRelativeTaskPath(description), error);
}

void VRDNetworkClient::forget(const std::string& description) {
  const std::lock_guard lock(mutex_);
  uploads_.erase(description);
}

void VRDNetworkClient::reportCompletion(const std::string& path, const std::optional<Error>& error) {
  const std::lock_guard lock(delegateMutex_);
  if (delegate_) delegate_->networkClientDidFinishUploadWithPath(*this, path, error);
}

void VRDNetworkClient::URLSessionDidBecomeInvalidWithError(const std::optional<Error>& error) {
  if (ZIZIsDebugEnabled()) log("session became invalid: " + (error ? error->description() : std::string("(null)")));
}

void VRDNetworkClient::URLSessionDidReceiveChallenge(const URLAuthenticationChallenge& challenge,
                                                     const VRDURLSessionDelegate::ChallengeCompletion& completion) {
  if (ZIZIsDebugEnabled() || !certPinner_) {
    completion(URLSessionAuthChallengeDisposition::performDefaultHandling, std::nullopt);
    return;
  }
  certPinner_->handleChallenge(challenge, completion);
}

void VRDNetworkClient::URLSessionDidFinishEventsForBackgroundURLSession() {
  std::function<void()> handler;
  {
    const std::lock_guard lock(mutex_);
    handler = backgroundCompletionHandler_;
  }
  if (!handler) {
    log("background callback is nil?");
    return;
  }
  MainExecutor::shared().async([self = shared_from_this(), handler] {
    handler();
    self->operationQueue_->addOperationWithBlock([self] { self->setBackgroundCompletionHandler(nullptr); });
  });
}

bool VRDNetworkClient::waitUntilAnswered(std::chrono::steady_clock::time_point deadline) {
  return awaited_.waitUntilNone(deadline);
}

void VRDNetworkClient::URLSessionTaskDidCompleteWithError(VRDURLSessionTask& task, const std::optional<Error>& error) {
  // Counted once the answer is handled below: the package removed, or its restart waiting.
  struct Answered {
    AwaitedCount& awaited;
    ~Answered() { awaited.ended(); }
  } answered{awaited_};
  const std::optional<URLResponse> response = task.response();
  // The server took the report once it answered 2xx, whatever its body or its type: sending it again would
  // give the engineer the same crash twice.
  if (isAccepted(response)) {
    handleTask(task, std::nullopt);
    return;
  }
  noteFailure(task.taskDescription(), response, error);
  ZIZNetworkResponseHandler::handleCompletedResponse(
      task.response(), task.originalRequest(), error, [&](bool retry, const std::optional<Error>& judged) {
        if (retry) {
          restartTask(task);
        } else {
          handleTask(task, judged);
        }
      });
}

}  // namespace crashreporting
