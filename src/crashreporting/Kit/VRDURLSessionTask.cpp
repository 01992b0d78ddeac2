#include "crashreporting/Kit/VRDURLSessionTask.h"

#include <strings.h>

#include <system_error>

#include "crashreporting/Kit/VRDURLSession.h"

namespace crashreporting {
namespace {

bool isHTTPS(const std::string& url) { return url.size() >= 8 && strncasecmp(url.c_str(), "https://", 8) == 0; }

}  // namespace

VRDURLSessionTask::VRDURLSessionTask(Kind kind, std::weak_ptr<VRDURLSession> session, URLRequest request,
                                     std::uint64_t identifier, bool invokesDelegate)
    : kind_(kind),
      session_(std::move(session)),
      request_(std::move(request)),
      identifier_(identifier),
      invokesDelegate_(invokesDelegate) {
  queue_.setMaxConcurrentOperationCount(1);
}

VRDURLSessionTask::~VRDURLSessionTask() = default;

std::optional<URLResponse> VRDURLSessionTask::response() const {
  const std::lock_guard lock(mutex_);
  return response_;
}

std::optional<Error> VRDURLSessionTask::error() const {
  const std::lock_guard lock(mutex_);
  return error_;
}

VRDURLSessionTask::State VRDURLSessionTask::state() const {
  const std::lock_guard lock(mutex_);
  return state_;
}

bool VRDURLSessionTask::isRunning() const { return state() == State::running; }

void VRDURLSessionTask::markCompleted() {
  const std::lock_guard lock(mutex_);
  state_ = State::completed;
}

std::string VRDURLSessionTask::taskDescription() const {
  const std::lock_guard lock(mutex_);
  return taskDescription_;
}

void VRDURLSessionTask::setTaskDescription(std::string description) {
  const std::lock_guard lock(mutex_);
  taskDescription_ = std::move(description);
}

void VRDURLSessionTask::enqueue(std::function<void(VRDURLSessionTask&)> step) {
  queue_.addOperationWithBlock([self = shared_from_this(), step = std::move(step)] { step(*self); });
}

void VRDURLSessionTask::resume() {
  enqueue([](VRDURLSessionTask& task) { task.resumeOnQueue(); });
}

void VRDURLSessionTask::cancel() {
  enqueue([](VRDURLSessionTask& task) { task.cancelOnQueue(); });
}

void VRDURLSessionTask::resumeOnQueue() {
  {
    const std::lock_guard lock(mutex_);
    if (state_ != State::suspended) return;
    state_ = State::running;
  }
  const auto owner = session();
  if (!owner) {
    completeForError(makeURLError(URLErrorCancelled, request_.URL(), "the session went"));
    return;
  }
  if (!isHTTPS(request_.URL())) {
    startConnection({});
    return;
  }
  const std::weak_ptr<VRDURLSessionTask> weak = shared_from_this();
  owner->evaluateServerTrust(*this, [weak](VRDServerTrustDecision decision) {
    if (const auto task = weak.lock())
      task->enqueue([decision = std::move(decision)](VRDURLSessionTask& t) { t.startConnection(decision); });
  });
}

void VRDURLSessionTask::startConnection(const VRDServerTrustDecision& decision) {
  if (!isRunning()) return;  // cancelled while the delegate was asked
  if (decision.cancelled) {
    completeForError(makeURLError(URLErrorCancelled, request_.URL(), "the server-trust challenge was cancelled"));
    return;
  }
  const auto owner = session();
  if (!owner) {
    completeForError(makeURLError(URLErrorCancelled, request_.URL(), "the session went"));
    return;
  }
  trustsAnchors_ = decision.anchorCertificates.has_value();
  connection_ = owner->loader().start(request_, decision.anchorCertificates, weak_from_this(),
                                      owner->configuration().timeoutIntervalForResource);
}

void VRDURLSessionTask::cancelOnQueue() {
  {
    const std::lock_guard lock(mutex_);
    if (state_ == State::completed) return;
    state_ = State::canceling;
  }
  stopConnection();
  completeForError(makeURLError(URLErrorCancelled, request_.URL(), "cancelled"));
}

void VRDURLSessionTask::stopConnection() {
  if (connection_ == 0) return;
  if (const auto owner = session()) owner->loader().cancel(connection_);
  connection_ = 0;
}

void VRDURLSessionTask::completeForError(const Error& error) {
  {
    const std::lock_guard lock(mutex_);
    if (state_ == State::completed) return;
    if (!error_) error_ = error;
  }
  stopConnection();
  complete();
}

void VRDURLSessionTask::connectionDidReceiveResponse(const URLResponse& response) {
  enqueue([response](VRDURLSessionTask& task) {
    if (!task.isRunning()) return;
    if (const auto owner = task.session()) owner->taskDidReceiveResponse(task.shared_from_this(), response);
    const std::lock_guard lock(task.mutex_);
    task.response_ = response;
  });
}

void VRDURLSessionTask::connectionDidReceiveData(const Data& data) {
  enqueue([data](VRDURLSessionTask& task) {
    if (task.isRunning()) task.takeData(data);
  });
}

void VRDURLSessionTask::connectionDidFailWithError(const Error& error) {
  enqueue([error](VRDURLSessionTask& task) {
    if (!task.isRunning()) return;
    task.connection_ = 0;
    // Anchors the handshake refused are a failed pinned challenge: the challenge was cancelled.
    if (task.trustsAnchors_ && error.domain == kURLErrorDomain && error.code == URLErrorServerCertificateUntrusted) {
      task.completeForError(makeURLError(URLErrorCancelled, task.request_.URL(),
                                         "the server's certificate is not issued by a trusted anchor"));
      return;
    }
    task.completeForError(error);
  });
}

void VRDURLSessionTask::connectionDidFinishLoading() {
  enqueue([](VRDURLSessionTask& task) {
    if (!task.isRunning()) return;
    task.connection_ = 0;
    task.complete();
  });
}

// Data and upload tasks.

VRDURLSessionDataTask::VRDURLSessionDataTask(Kind kind, std::weak_ptr<VRDURLSession> session, URLRequest request,
                                             std::uint64_t identifier, CompletionHandler completionHandler)
    : VRDURLSessionTask(kind, std::move(session), std::move(request), identifier, !completionHandler),
      completionHandler_(std::move(completionHandler)) {}

void VRDURLSessionDataTask::takeData(const Data& data) {
  if (!data_) data_.emplace();
  data_->insert(data_->end(), data.begin(), data.end());
  if (const auto owner = session()) owner->taskDidReceiveData(shared_from_this(), data);
}

void VRDURLSessionDataTask::complete() {
  markCompleted();
  std::optional<URLResponse> response;
  std::optional<Error> error;
  {
    const std::lock_guard lock(mutex_);
    response = response_;
    error = error_;
  }
  auto report = [handler = std::move(completionHandler_), data = std::move(data_), response, error](
                    VRDURLSession*, VRDURLSessionDelegate*) {
    if (handler) handler(data, response, error);
  };
  completionHandler_ = nullptr;
  data_.reset();
  if (const auto owner = session()) {
    owner->taskDidComplete(shared_from_this(), std::move(report), error);
  } else {
    report(nullptr, nullptr);  // no delegate queue left: the handler runs here
  }
}

// Download tasks.

VRDURLSessionDownloadTask::VRDURLSessionDownloadTask(std::weak_ptr<VRDURLSession> session, URLRequest request,
                                                     std::uint64_t identifier, CompletionHandler completionHandler,
                                                     std::filesystem::path targetURL,
                                                     std::unique_ptr<OutputStream> outputStream)
    : VRDURLSessionTask(Kind::download, std::move(session), std::move(request), identifier, !completionHandler),
      completionHandler_(std::move(completionHandler)),
      targetURL_(std::move(targetURL)),
      outputStream_(std::move(outputStream)) {}

VRDURLSessionDownloadTask::~VRDURLSessionDownloadTask() {
  if (streamOpen_ && outputStream_) outputStream_->close();
  cleanup();
}

bool VRDURLSessionDownloadTask::openStream() {
  if (!streamOpen_) streamOpen_ = outputStream_ && outputStream_->open();
  return streamOpen_;
}

void VRDURLSessionDownloadTask::takeData(const Data& data) { writeDataToStream(data); }

void VRDURLSessionDownloadTask::writeDataToStream(const Data& data) {
  bool written = openStream();
  std::size_t offset = 0;
  while (written && offset < data.size()) {
    const std::ptrdiff_t taken = outputStream_->write(data.data() + offset, data.size() - offset);
    if (taken <= 0) {
      written = false;
      break;
    }
    offset += static_cast<std::size_t>(taken);
  }
  if (written) return;
  // A sink that cannot take the bytes must not pass a cut file off as the download.
  Error failed{kVRDURLSessionDownloadTaskErrorDomain, -1, {}, {}};
  failed.userInfo.emplace(kLocalizedDescriptionKey, Value("the download could not be written to " + targetURL_.string()));
  completeForError(failed);
}

void VRDURLSessionDownloadTask::complete() {
  markCompleted();
  // An empty body still gives an (empty) file.
  const bool stored = error() || openStream();
  if (outputStream_ && streamOpen_) outputStream_->close();
  streamOpen_ = false;
  if (!stored) {
    const std::lock_guard lock(mutex_);
    if (!error_) {
      error_ = Error{kVRDURLSessionDownloadTaskErrorDomain, -1, {}, {}};
      error_->userInfo.emplace(kLocalizedDescriptionKey, Value("the download file could not be made"));
    }
  }
  std::optional<URLResponse> response;
  std::optional<Error> error;
  {
    const std::lock_guard lock(mutex_);
    response = response_;
    error = error_;
  }
  auto self = std::static_pointer_cast<VRDURLSessionDownloadTask>(shared_from_this());
  auto report = [self, handler = std::move(completionHandler_), response, error](VRDURLSession* session,
                                                                                   VRDURLSessionDelegate* delegate) {
    const std::optional<std::filesystem::path> location =
        error ? std::nullopt : std::optional<std::filesystem::path>(self->targetURL_);
    if (handler) handler(location, response, error);
    if (location && session && delegate)
      delegate->URLSessionDownloadTaskDidFinishDownloadingToURL(*session, *self, *location);
    self->cleanup();  // the file exists only during those calls
  };
  completionHandler_ = nullptr;
  if (const auto owner = session()) {
    owner->taskDidComplete(self, std::move(report), error);
  } else {
    report(nullptr, nullptr);  // no delegate queue left: the handler runs here
  }
}

void VRDURLSessionDownloadTask::cleanup() {
  std::error_code ignored;
  std::filesystem::remove(targetURL_, ignored);
}

}  // namespace crashreporting
