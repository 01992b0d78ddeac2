#include "crashreporting/Kit/VRDURLSession.h"

#include <cstdio>

#include "crashreporting/Kit/ZIZApplication.h"

namespace crashreporting {
namespace {

/// The host part of an absolute URL ("https://host:port/path" → "host").
std::string hostOf(const std::string& url) {
  const auto scheme = url.find("://");
  const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  std::size_t end = url.find_first_of("/?#", start);
  if (end == std::string::npos) end = url.size();
  std::string authority = url.substr(start, end - start);
  if (const auto at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
  if (!authority.empty() && authority.front() == '[') return authority.substr(0, authority.find(']') + 1);
  return authority.substr(0, authority.find(':'));
}

}  // namespace

std::shared_ptr<VRDURLSession> VRDURLSession::sessionWithConfiguration(
    const std::optional<VRDURLSessionConfiguration>& configuration, std::shared_ptr<VRDURLSessionDelegate> delegate,
    std::shared_ptr<OperationQueue> delegateQueue) {
  if (!configuration) return nullptr;
  // Handlers need a queue too, so a session without one always gets its own.
  if (!delegateQueue) delegateQueue = newDefaultDelegateQueue();
  return std::shared_ptr<VRDURLSession>(
      new VRDURLSession(configuration->copy(), std::move(delegate), std::move(delegateQueue)));
}

std::shared_ptr<OperationQueue> VRDURLSession::newDefaultDelegateQueue() {
  auto queue = std::make_shared<OperationQueue>();
  char name[64];
  std::snprintf(name, sizeof name, "VRDURLSession %p", static_cast<const void*>(queue.get()));
  queue->setName(name);
  queue->setMaxConcurrentOperationCount(1);
  return queue;
}

VRDURLSession::VRDURLSession(VRDURLSessionConfiguration configuration,
                             std::shared_ptr<VRDURLSessionDelegate> delegate,
                             std::shared_ptr<OperationQueue> delegateQueue)
    : configuration_(std::move(configuration)), delegateQueue_(std::move(delegateQueue)), delegate_(std::move(delegate)) {}

VRDURLSession::~VRDURLSession() = default;

std::shared_ptr<VRDURLSessionDelegate> VRDURLSession::delegate() const {
  const std::lock_guard lock(mutex_);
  return delegate_;
}

bool VRDURLSession::isInvalidated() const {
  const std::lock_guard lock(mutex_);
  return invalidated_;
}

std::string VRDURLSession::sessionDescription() const {
  const std::lock_guard lock(mutex_);
  return sessionDescription_;
}

void VRDURLSession::setSessionDescription(std::string description) {
  const std::lock_guard lock(mutex_);
  sessionDescription_ = std::move(description);
}

std::optional<std::pair<URLRequest, std::uint64_t>> VRDURLSession::configureTask(URLRequest request) {
  const std::lock_guard lock(mutex_);
  if (invalidated_) return std::nullopt;
  for (const auto& [field, value] : configuration_.HTTPAdditionalHeaders) request.addValue(value, field);
  return std::pair(std::move(request), nextTaskIdentifier_++);
}

template <class Task>
std::shared_ptr<Task> VRDURLSession::track(std::shared_ptr<Task> task) {
  const std::lock_guard lock(mutex_);
  if (invalidated_) return nullptr;
  taskSet_.push_back(task);
  return task;
}

std::shared_ptr<VRDURLSessionDataTask> VRDURLSession::dataTaskWithRequest(const URLRequest& request) {
  return dataTaskWithRequest(request, nullptr);
}

std::shared_ptr<VRDURLSessionDataTask> VRDURLSession::dataTaskWithRequest(
    const URLRequest& request, VRDURLSessionDataTask::CompletionHandler handler) {
  auto configured = configureTask(request);
  if (!configured) return nullptr;
  return track(std::make_shared<VRDURLSessionDataTask>(VRDURLSessionTask::Kind::data, weak_from_this(),
                                                       std::move(configured->first), configured->second,
                                                       std::move(handler)));
}

std::shared_ptr<VRDURLSessionDataTask> VRDURLSession::uploadTaskWithRequest(const URLRequest& request,
                                                                            const std::filesystem::path& fromFile) {
  return uploadTaskWithRequest(request, fromFile, nullptr);
}

std::shared_ptr<VRDURLSessionDataTask> VRDURLSession::uploadTaskWithRequest(
    const URLRequest& request, const std::filesystem::path& fromFile, VRDURLSessionDataTask::CompletionHandler handler) {
  auto configured = configureTask(request);
  if (!configured) return nullptr;
  configured->first.setHTTPBody({});
  configured->first.setHTTPBodyFile(fromFile);
  return track(std::make_shared<VRDURLSessionDataTask>(VRDURLSessionTask::Kind::upload, weak_from_this(),
                                                       std::move(configured->first), configured->second,
                                                       std::move(handler)));
}

std::shared_ptr<VRDURLSessionDownloadTask> VRDURLSession::downloadTaskWithRequest(const URLRequest& request) {
  return downloadTaskWithRequest(request, nullptr);
}

std::shared_ptr<VRDURLSessionDownloadTask> VRDURLSession::downloadTaskWithRequest(
    const URLRequest& request, VRDURLSessionDownloadTask::CompletionHandler handler) {
  auto configured = configureTask(request);
  if (!configured) return nullptr;
  std::filesystem::path file = newDownloadFile();
  auto stream = configuration_.downloadStreamFactory ? configuration_.downloadStreamFactory(file)
                                                     : std::make_unique<FileOutputStream>(file);
  return track(std::make_shared<VRDURLSessionDownloadTask>(weak_from_this(), std::move(configured->first),
                                                           configured->second, std::move(handler), std::move(file),
                                                           std::move(stream)));
}

std::shared_ptr<VRDURLSessionDownloadTask> VRDURLSession::downloadTaskWithURL(const std::string& url) {
  return downloadTaskWithRequest(URLRequest(url));
}

std::filesystem::path VRDURLSession::newDownloadFile() const {
  std::filesystem::path folder = configuration_.downloadDirectory;
  if (folder.empty()) {
    std::error_code ignored;
    folder = std::filesystem::temp_directory_path(ignored);
    if (folder.empty()) folder = "/tmp";
  }
  return folder / ("VRDURLSession-" + ZIZCreateUUIDString() + ".tmp");
}

void VRDURLSession::post(std::function<void()> callback) {
  // Ahead of the owner's own work on a shared delegate queue: a burst of it would otherwise keep an answer (and
  // whatever its handling makes final) waiting.
  delegateQueue_->addOperationWithBlock(std::move(callback), Operation::QueuePriority::high);
}

std::shared_ptr<VRDURLSessionDelegate> VRDURLSession::delegateFor(const VRDURLSessionTask& task) const {
  if (!task.invokesDelegate()) return nullptr;
  return delegate();
}

void VRDURLSession::evaluateServerTrust(const VRDURLSessionTask& task,
                                        std::function<void(VRDServerTrustDecision)> decided) {
  const auto current = delegate();
  if (!current) {
    decided({});
    return;
  }
  const std::string host = hostOf(task.originalRequest().URL());
  URLAuthenticationChallenge challenge{{host, kURLAuthenticationMethodServerTrust, ServerTrust{host}}};
  post([self = shared_from_this(), current, challenge, decided = std::move(decided)] {
    auto once = std::make_shared<std::once_flag>();
    current->URLSessionDidReceiveChallenge(
        *self, challenge,
        [once, decided](URLSessionAuthChallengeDisposition disposition, std::optional<URLCredential> credential) {
          std::call_once(*once, [&] {
            VRDServerTrustDecision decision;
            switch (disposition) {
              case URLSessionAuthChallengeDisposition::performDefaultHandling:
                break;
              case URLSessionAuthChallengeDisposition::useCredential:
                // Trust given without anchors trusts nothing.
                if (!credential || credential->anchorCertificates.empty()) {
                  decision.cancelled = true;
                  break;
                }
                decision.anchorCertificates.emplace();
                for (const Certificate& anchor : credential->anchorCertificates)
                  decision.anchorCertificates->append(anchor.pem());
                break;
              case URLSessionAuthChallengeDisposition::cancelAuthenticationChallenge:
              case URLSessionAuthChallengeDisposition::rejectProtectionSpace:
                decision.cancelled = true;
                break;
            }
            decided(std::move(decision));
          });
        });
  });
}

void VRDURLSession::taskDidReceiveResponse(const std::shared_ptr<VRDURLSessionTask>& task,
                                           const URLResponse& response) {
  const auto current = delegateFor(*task);
  if (!current || task->kind() == VRDURLSessionTask::Kind::download) return;
  post([self = shared_from_this(), current, task, response] {
    // The transfer goes on whatever the delegate answers.
    current->URLSessionDataTaskDidReceiveResponse(*self, static_cast<VRDURLSessionDataTask&>(*task), response,
                                                  [](URLSessionResponseDisposition) {});
  });
}

void VRDURLSession::taskDidReceiveData(const std::shared_ptr<VRDURLSessionTask>& task, const Data& data) {
  const auto current = delegateFor(*task);
  if (!current || task->kind() == VRDURLSessionTask::Kind::download) return;
  post([self = shared_from_this(), current, task, data] {
    current->URLSessionDataTaskDidReceiveData(*self, static_cast<VRDURLSessionDataTask&>(*task), data);
  });
}

void VRDURLSession::taskDidComplete(const std::shared_ptr<VRDURLSessionTask>& task,
                                    std::function<void(VRDURLSession*, VRDURLSessionDelegate*)> report,
                                    const std::optional<Error>& error) {
  post([self = shared_from_this(), task, report = std::move(report), error] {
    const auto current = self->delegateFor(*task);
    report(self.get(), current.get());
    if (current) current->URLSessionTaskDidCompleteWithError(*self, *task, error);
    self->removeTaskFromSet(*task);
  });
}

void VRDURLSession::removeTaskFromSet(const VRDURLSessionTask& task) {
  const std::lock_guard lock(mutex_);
  std::erase_if(taskSet_, [&](const auto& entry) { return entry.get() == &task; });
}

void VRDURLSession::getTasksWithCompletionHandler(TasksHandler handler) {
  post([self = shared_from_this(), handler = std::move(handler)] {
    std::vector<std::shared_ptr<VRDURLSessionDataTask>> data;
    std::vector<std::shared_ptr<VRDURLSessionDataTask>> upload;
    std::vector<std::shared_ptr<VRDURLSessionDownloadTask>> download;
    std::vector<std::shared_ptr<VRDURLSessionTask>> live;
    {
      const std::lock_guard lock(self->mutex_);
      live = self->taskSet_;
    }
    for (const auto& task : live) {
      if (task->state() == VRDURLSessionTask::State::completed) continue;
      switch (task->kind()) {
        case VRDURLSessionTask::Kind::data:
          data.push_back(std::static_pointer_cast<VRDURLSessionDataTask>(task));
          break;
        case VRDURLSessionTask::Kind::upload:
          upload.push_back(std::static_pointer_cast<VRDURLSessionDataTask>(task));
          break;
        case VRDURLSessionTask::Kind::download:
          download.push_back(std::static_pointer_cast<VRDURLSessionDownloadTask>(task));
          break;
      }
    }
    handler(std::move(data), std::move(upload), std::move(download));
  });
}

void VRDURLSession::invalidateAndCancel() {
  std::vector<std::shared_ptr<VRDURLSessionTask>> live;
  {
    const std::lock_guard lock(mutex_);
    live = taskSet_;
    invalidated_ = true;
    delegate_.reset();
  }
  for (const auto& task : live) task->cancel();
}

void VRDURLSession::finishTasksAndInvalidate() {
  const std::lock_guard lock(mutex_);
  invalidated_ = true;
  delegate_.reset();
}

}  // namespace crashreporting
