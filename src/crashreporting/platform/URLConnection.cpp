#include "crashreporting/platform/URLConnection.h"

#include <strings.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>

#include "crashreporting/platform/ConcurrentQueue.h"
#include "crashreporting/platform/FileContents.h"
#include "platform/net/HttpClient.h"
#include "platform/net/WebURL.h"

namespace crashreporting {
namespace {

using tilvane::net::HttpErrorCode;
using tilvane::net::HttpResponse;
using Clock = std::chrono::steady_clock;

constexpr double kDefaultTimeout = 60.0;

// What may go to another origin than the request's: fields that carry no key, token or identifier.
constexpr std::array kPlainFields{"User-Agent", "Accept", "Accept-Charset", "Accept-Language", "Content-Language"};
constexpr std::array kBodyFields{"Content-Type", "Content-Length"};

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

bool named(const std::string& field, const auto& names) {
  for (const char* name : names)
    if (strcasecmp(field.c_str(), name) == 0) return true;
  return false;
}

bool isRedirect(long status) { return status == 301 || status == 302 || status == 303 || status == 307 || status == 308; }

bool isHTTPS(const std::string& url) { return url.size() >= 8 && strncasecmp(url.c_str(), "https://", 8) == 0; }

void fail(const std::weak_ptr<URLConnectionDelegate>& weak, const Error& error) {
  if (const auto delegate = weak.lock()) delegate->connectionDidFailWithError(error);
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

struct URLLoader::Shared {
  std::unique_ptr<tilvane::net::HttpClient> client;
  std::mutex mutex;  // guards what follows
  std::map<ConnectionId, tilvane::net::HttpClient::RequestId> running;  // connection → its current hop
  ConnectionId nextId = 1;
};

/// One request of a connection: the first, or a redirect's.
struct URLLoader::Hop {
  ConnectionId id = 0;
  tilvane::net::HttpRequest http;
  std::string origin;  // the first request's, which its key and id fields were made for
  tilvane::net::HttpHeaders fields;  // the first request's fields
  Clock::time_point deadline;
  int redirects = 0;
  std::weak_ptr<URLConnectionDelegate> delegate;
};

URLLoader::URLLoader() : shared_(std::make_shared<Shared>()) {
  shared_->client = std::make_unique<tilvane::net::HttpClient>(
      // Never on the client's own worker: whatever a report lets go of is let go of elsewhere.
      [](std::function<void()> task) { ConcurrentQueue::global().async(std::move(task)); });
}

URLLoader::~URLLoader() {
  // Completions still on their way find the connections gone; the client stops its transfers as it goes.
  const std::lock_guard lock(shared_->mutex);
  shared_->running.clear();
}

URLLoader::ConnectionId URLLoader::start(const URLRequest& request,
                                         const std::optional<std::string>& anchorCertificates,
                                         std::weak_ptr<URLConnectionDelegate> delegate, double resourceTimeout) {
  auto hop = std::make_shared<Hop>();
  tilvane::net::HttpRequest& http = hop->http;
  http.method = request.HTTPMethod();
  http.url = request.URL();
  http.headers = request.allHTTPHeaderFields();
  http.followRedirects = false;  // followed here, hop by hop
  const double idle = request.timeoutInterval();
  http.idleTimeout = std::isfinite(idle) && idle > 0 ? idle : kDefaultTimeout;
  const double whole = std::isfinite(resourceTimeout) && resourceTimeout > 0 ? resourceTimeout : http.idleTimeout;
  hop->deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(std::min(whole, 7 * 24 * 3600.0)));
  http.maxBodyBytes = kMaxBodyBytes;
  if (anchorCertificates) http.caCertificates = *anchorCertificates;
  if (const auto& file = request.HTTPBodyFile()) {
    if (!isReadableRegularFile(*file)) {
      std::error_code ignored;
      const bool exists = std::filesystem::exists(std::filesystem::symlink_status(*file, ignored));
      const Error error = makeURLError(exists ? URLErrorNoPermissionsToReadFile : URLErrorFileDoesNotExist,
                                       request.URL(), "cannot read the body file " + file->string());
      // Reported like any other outcome: later, and never to a delegate that went.
      ConcurrentQueue::global().async([delegate, error] { fail(delegate, error); });
      return 0;
    }
    http.bodyFile = file->string();  // streamed while sent
  } else {
    http.body.assign(request.HTTPBody().begin(), request.HTTPBody().end());
  }
  hop->origin = tilvane::net::webOrigin(http.url).value_or("");
  hop->fields = http.headers;
  hop->delegate = std::move(delegate);
  {
    const std::lock_guard lock(shared_->mutex);
    hop->id = shared_->nextId++;
    shared_->running.emplace(hop->id, 0);
  }
  const ConnectionId id = hop->id;
  send(shared_, std::move(hop));
  return id;
}

void URLLoader::send(const std::shared_ptr<Shared>& shared, std::shared_ptr<Hop> hop) {
  const double left = std::chrono::duration<double>(hop->deadline - Clock::now()).count();
  if (left <= 0) {
    {
      const std::lock_guard lock(shared->mutex);
      if (!shared->running.erase(hop->id)) return;
    }
    const auto delegate = hop->delegate;
    const Error error = makeURLError(URLErrorTimedOut, hop->http.url, "no complete reply within the resource time-out");
    ConcurrentQueue::global().async([delegate, error] { fail(delegate, error); });
    return;
  }
  hop->http.timeout = left;
  tilvane::net::HttpRequest request = hop->http;
  const std::weak_ptr<Shared> weak = shared;
  // Under the lock, so a cancel either finds this hop's request or stops the connection before it is sent.
  const std::lock_guard lock(shared->mutex);
  const auto running = shared->running.find(hop->id);
  if (running == shared->running.end()) return;
  running->second = shared->client->send(std::move(request), [weak, hop](HttpResponse reply) {
    const auto alive = weak.lock();
    if (!alive) return;
    const std::string url = hop->http.url;
    std::optional<std::string> next;
    if (isRedirect(reply.status) && !reply.error) {
      if (const auto location = reply.header("Location")) next = tilvane::net::resolveWebURL(url, *location);
    }
    if (next) {
      std::optional<Error> refused;
      if (hop->redirects >= kMaxRedirects) {
        refused = makeURLError(URLErrorHTTPTooManyRedirects, url, "more than 5 redirects");
      } else if (isHTTPS(url) && !isHTTPS(*next)) {
        refused = makeURLError(URLErrorAppTransportSecurityRequiresSecureConnection, url,
                               "a redirect from https to " + *next + " was refused");
      }
      if (!refused) {
        auto following = std::make_shared<Hop>(*hop);
        ++following->redirects;
        tilvane::net::HttpRequest& http = following->http;
        const bool keepsBody = (reply.status == 307 || reply.status == 308) ||
                               (reply.status != 303 && http.method != "POST");
        if (!keepsBody && http.method != "HEAD") {
          http.method = "GET";
          http.body.clear();
          http.bodyFile.clear();
        }
        const bool sameOrigin = tilvane::net::webOrigin(*next).value_or("-") == following->origin;
        http.headers.clear();
        for (const auto& field : following->fields) {
          // A body's own fields go only with the body: a GET that claims a length would leave the server waiting.
          const bool bodyField = named(field.first, kBodyFields);
          if (bodyField ? keepsBody : sameOrigin || named(field.first, kPlainFields)) http.headers.push_back(field);
        }
        http.url = *next;
        send(alive, std::move(following));
        return;
      }
      {
        const std::lock_guard done(alive->mutex);
        if (!alive->running.erase(hop->id)) return;
      }
      fail(hop->delegate, *refused);
      return;
    }
    {
      const std::lock_guard done(alive->mutex);
      if (!alive->running.erase(hop->id)) return;  // cancelled meanwhile
    }
    report(hop->delegate, url, std::move(reply));
  });
}

void URLLoader::cancel(ConnectionId id) {
  if (id == 0) return;
  tilvane::net::HttpClient::RequestId request = 0;
  {
    const std::lock_guard lock(shared_->mutex);
    const auto running = shared_->running.find(id);
    if (running == shared_->running.end()) return;
    request = running->second;
    shared_->running.erase(running);
  }
  if (request != 0) shared_->client->cancel(request);
}

}  // namespace crashreporting
