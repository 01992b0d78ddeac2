#include "crashreporting/platform/URLConnection.h"

#include <cerrno>
#include <cmath>
#include <fstream>
#include <iterator>

#include "crashreporting/platform/ConcurrentQueue.h"
#include "platform/net/HttpClient.h"

namespace crashreporting {
namespace {

using tilvane::net::HttpErrorCode;
using tilvane::net::HttpResponse;

constexpr double kDefaultTimeout = 60.0;

std::int64_t urlErrorCode(HttpErrorCode code) {
  switch (code) {
    case HttpErrorCode::invalidRequest:
      return URLErrorUnsupportedURL;
    case HttpErrorCode::couldNotConnect:
      return URLErrorCannotConnectToHost;
    case HttpErrorCode::timedOut:
      return URLErrorTimedOut;
    case HttpErrorCode::tooLarge:
      return URLErrorDataLengthExceedsMaximum;
    case HttpErrorCode::tls:
      return URLErrorServerCertificateUntrusted;
    case HttpErrorCode::cancelled:
      return URLErrorCancelled;
    case HttpErrorCode::transport:
      break;
  }
  return URLErrorNetworkConnectionLost;
}

void report(const std::weak_ptr<URLConnectionDelegate>& weak, const std::string& url, HttpResponse reply) {
  const auto delegate = weak.lock();
  if (!delegate) return;
  if (reply.status != 0) {
    URLResponse response{url, reply.status, std::move(reply.headers)};
    delegate->connectionDidReceiveResponse(response);
  }
  if (reply.error) {
    delegate->connectionDidFailWithError(makeURLError(urlErrorCode(reply.error->code), url, reply.error->message));
    return;
  }
  if (!reply.body.empty()) delegate->connectionDidReceiveData(Data(reply.body.begin(), reply.body.end()));
  delegate->connectionDidFinishLoading();
}

}  // namespace

URLLoader::URLLoader()
    : client_(std::make_unique<tilvane::net::HttpClient>(
          // Never on the client's own worker: whatever a report lets go of is let go of elsewhere.
          [](std::function<void()> task) { ConcurrentQueue::global().async(std::move(task)); })) {}

URLLoader::~URLLoader() = default;

URLLoader::ConnectionId URLLoader::start(const URLRequest& request,
                                         const std::optional<std::string>& anchorCertificates,
                                         std::weak_ptr<URLConnectionDelegate> delegate) {
  tilvane::net::HttpRequest http;
  http.method = request.HTTPMethod();
  http.url = request.URL();
  http.headers = request.allHTTPHeaderFields();
  const double timeout = request.timeoutInterval();
  http.timeout = std::isfinite(timeout) && timeout > 0 ? timeout : kDefaultTimeout;
  http.maxBodyBytes = kMaxBodyBytes;
  if (anchorCertificates) http.caCertificates = *anchorCertificates;
  if (const auto& file = request.HTTPBodyFile()) {
    std::ifstream in(*file, std::ios::binary);
    if (!in) {
      const bool exists = std::filesystem::exists(*file);
      const Error error = makeURLError(exists ? URLErrorNoPermissionsToReadFile : URLErrorFileDoesNotExist,
                                       request.URL(), "cannot read the body file " + file->string());
      // Reported like any other outcome: later, and never to a delegate that went.
      ConcurrentQueue::global().async([delegate, error] {
        if (const auto alive = delegate.lock()) alive->connectionDidFailWithError(error);
      });
      return 0;
    }
    http.bodyFile = file->string();  // streamed while sent
  } else {
    http.body.assign(request.HTTPBody().begin(), request.HTTPBody().end());
  }
  return client_->send(std::move(http), [delegate = std::move(delegate), url = request.URL()](HttpResponse reply) {
    report(delegate, url, std::move(reply));
  });
}

void URLLoader::cancel(ConnectionId id) {
  if (id != 0) client_->cancel(id);
}

}  // namespace crashreporting
