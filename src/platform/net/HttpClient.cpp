#include "platform/net/HttpClient.h"

#include <curl/curl.h>
#include <pthread.h>
#include <sys/stat.h>

#include <climits>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/net/WebURL.h"

namespace tilvane::net {
namespace {

// Every reply's header fields together, redirects included, may be at most this long.
constexpr std::size_t kMaxHeaderBytes = 256 * 1024;
constexpr long kMaxRedirects = 5;
constexpr double kMaxTimeout = 24 * 3600.0;

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

void initialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// How long the worker may wait on its transfers' sockets: until curl's next timer, or until a socket or a
// wake-up when curl has none (-1). Never a fixed tick: an idle worker must not wake.
int pollTimeoutMs(long curlTimeout) {
  if (curlTimeout < 0 || curlTimeout > INT_MAX) return INT_MAX;
  return static_cast<int>(curlTimeout);
}

bool isTokenChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isToken(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text)
    if (!isTokenChar(c)) return false;
  return true;
}

bool isFieldValue(std::string_view text) {
  for (const char c : text)
    if (c == '\r' || c == '\n' || c == '\0') return false;
  return true;
}

// Loopback addresses are never reached through a proxy, whatever the environment says. Read on the thread that
// makes the client: the worker must neither read the environment nor a static that exit() destroys under it.
std::string noProxyList() {
  std::string value;
  if (const char* env = std::getenv("no_proxy"); env && *env)
    value = env;
  else if (const char* upper = std::getenv("NO_PROXY"); upper && *upper)
    value = upper;
  if (!value.empty()) value += ',';
  return value + "localhost,127.0.0.1,::1";
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

/// One exchange on the worker. Heap-held: curl keeps its address.
struct Transfer {
  HttpClient::RequestId id = 0;
  HttpRequest request;
  std::unique_ptr<CURL, EasyDeleter> easy;
  std::unique_ptr<curl_slist, ListDeleter> fields;
  std::unique_ptr<std::FILE, FileCloser> bodyFile;
  HttpHeaders headers;
  std::string body;
  std::size_t headerBytes = 0;
  bool bodyOverCap = false;
  bool headerOverCap = false;
  char errorBuffer[CURL_ERROR_SIZE] = {};
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  const std::size_t bytes = size * count;
  if (bytes > transfer->request.maxBodyBytes - transfer->body.size()) {
    transfer->bodyOverCap = true;
    return 0;  // curl stops the transfer with a write error
  }
  transfer->body.append(data, bytes);
  return bytes;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  const std::size_t bytes = size * count;
  transfer->headerBytes += bytes;
  if (transfer->headerBytes > kMaxHeaderBytes) {
    transfer->headerOverCap = true;
    return 0;
  }
  const std::string_view line = trim(std::string_view(data, bytes));
  if (line.rfind("HTTP/", 0) == 0) {
    transfer->headers.clear();  // a new reply: after a redirect or a 100 Continue
  } else if (const auto colon = line.find(':'); colon != std::string_view::npos && colon > 0) {
    transfer->headers.emplace_back(std::string(line.substr(0, colon)), std::string(trim(line.substr(colon + 1))));
  }
  return bytes;
}

std::size_t onRead(char* buffer, std::size_t size, std::size_t count, void* context) {
  return std::fread(buffer, 1, size * count, static_cast<std::FILE*>(context));
}

HttpResponse failure(HttpErrorCode code, std::string message) {
  HttpResponse response;
  response.error = HttpError{code, std::move(message)};
  return response;
}

/// Checks the request and makes its curl handle; an error response when the request cannot be sent.
std::optional<HttpResponse> prepare(Transfer& transfer, const std::string& noProxy) {
  const HttpRequest& request = transfer.request;
  if (!isWebURL(request.url))
    return failure(HttpErrorCode::invalidRequest, "not an absolute http or https address: \"" + request.url + "\"");
  if (!isToken(request.method))
    return failure(HttpErrorCode::invalidRequest, "not a request method: \"" + request.method + "\"");
  if (!std::isfinite(request.timeout) || request.timeout <= 0)
    return failure(HttpErrorCode::invalidRequest, "the time-out must be a positive number of seconds");
  if (!std::isfinite(request.idleTimeout) || request.idleTimeout < 0)
    return failure(HttpErrorCode::invalidRequest, "the idle time-out must be a number of seconds, 0 or more");
  for (const auto& [name, value] : request.headers) {
    if (!isToken(name) || !isFieldValue(value))
      return failure(HttpErrorCode::invalidRequest, "not a header field: \"" + name + "\"");
    curl_slist* grown = curl_slist_append(transfer.fields.get(), (name + ": " + value).c_str());
    if (!grown) return failure(HttpErrorCode::transport, "out of memory");
    if (!transfer.fields) transfer.fields.reset(grown);  // later appends keep the same head
  }
  curl_off_t bodyFileSize = 0;
  if (!request.bodyFile.empty()) {
    transfer.bodyFile.reset(std::fopen(request.bodyFile.c_str(), "rbe"));
    struct stat status {};
    if (!transfer.bodyFile || fstat(fileno(transfer.bodyFile.get()), &status) != 0 || !S_ISREG(status.st_mode))
      return failure(HttpErrorCode::invalidRequest, "cannot read the body file \"" + request.bodyFile + "\"");
    bodyFileSize = static_cast<curl_off_t>(status.st_size);
    // No "Expect: 100-continue" round trip: the body follows the header at once, as with a body in memory.
    curl_slist* grown = curl_slist_append(transfer.fields.get(), "Expect:");
    if (!grown) return failure(HttpErrorCode::transport, "out of memory");
    if (!transfer.fields) transfer.fields.reset(grown);
  }
  transfer.easy.reset(curl_easy_init());
  if (!transfer.easy) return failure(HttpErrorCode::transport, "out of memory");
  CURL* easy = transfer.easy.get();
  const auto timeoutMs = static_cast<long>(std::min(request.timeout, kMaxTimeout) * 1000.0);
  curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, std::max(timeoutMs, 1L));
  long connectMs = timeoutMs;
  if (request.idleTimeout > 0) {
    // Under one byte a second for that long: curl measures in whole seconds.
    const double idle = std::min(request.idleTimeout, kMaxTimeout);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, std::max(1L, static_cast<long>(std::ceil(idle))));
    connectMs = std::min(connectMs, static_cast<long>(idle * 1000.0));
  }
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, std::max(connectMs, 1L));
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxBodyBytes));
  curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy.c_str());
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!request.caCertificates.empty()) {
    curl_blob anchors{const_cast<char*>(request.caCertificates.data()), request.caCertificates.size(),
                      CURL_BLOB_COPY};
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &anchors);
    curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr);  // the anchors alone: no bundle file, no folder
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
  } else if (!request.caFile.empty()) {
    curl_easy_setopt(easy, CURLOPT_CAINFO, request.caFile.c_str());
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);  // that file alone, not the system's folder beside it
  }
  if (!request.pinnedPublicKey.empty()) curl_easy_setopt(easy, CURLOPT_PINNEDPUBLICKEY, request.pinnedPublicKey.c_str());
  if (transfer.fields) curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.fields.get());

  const bool sendsBody = !request.body.empty() || transfer.bodyFile || request.method == "POST" || request.method == "PUT";
  if (request.method == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else if (request.method == "GET" && !sendsBody) {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  } else {
    if (request.method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    if (sendsBody) {
      curl_easy_setopt(easy, CURLOPT_POST, 1L);
      if (transfer.bodyFile) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, bodyFileSize);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, onRead);
        curl_easy_setopt(easy, CURLOPT_READDATA, transfer.bodyFile.get());
      } else {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
      }
    }
  }
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.errorBuffer);
  curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer);
  return std::nullopt;
}

HttpErrorCode codeOf(CURLcode result) {
  switch (result) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
      return HttpErrorCode::invalidRequest;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
      return HttpErrorCode::couldNotConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return HttpErrorCode::timedOut;
    case CURLE_FILESIZE_EXCEEDED:
      return HttpErrorCode::tooLarge;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_ISSUER_ERROR:
      return HttpErrorCode::tls;
    default:
      return HttpErrorCode::transport;
  }
}

HttpResponse finish(Transfer& transfer, CURLcode result) {
  HttpResponse response;
  curl_easy_getinfo(transfer.easy.get(), CURLINFO_RESPONSE_CODE, &response.status);
  response.headers = std::move(transfer.headers);
  if (result == CURLE_OK) {
    response.body = std::move(transfer.body);
    return response;
  }
  HttpErrorCode code = codeOf(result);
  std::string message = transfer.errorBuffer[0] ? transfer.errorBuffer : curl_easy_strerror(result);
  if (transfer.bodyOverCap || result == CURLE_FILESIZE_EXCEEDED) {
    code = HttpErrorCode::tooLarge;
    message = "the reply's body is longer than " + std::to_string(transfer.request.maxBodyBytes) + " bytes";
  } else if (transfer.headerOverCap) {
    code = HttpErrorCode::tooLarge;
    message = "the reply's header is longer than " + std::to_string(kMaxHeaderBytes) + " bytes";
  } else if (code == HttpErrorCode::timedOut) {
    double elapsed = 0;
    curl_easy_getinfo(transfer.easy.get(), CURLINFO_TOTAL_TIME, &elapsed);
    const bool idle = transfer.request.idleTimeout > 0 && elapsed + 0.5 < transfer.request.timeout;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", idle ? transfer.request.idleTimeout : transfer.request.timeout);
    message = (idle ? std::string("nothing moved for ") : std::string("no complete reply within ")) + seconds +
              " s (" + message + ")";
  }
  response.error = HttpError{code, std::move(message)};
  return response;
}

}  // namespace

struct HttpClient::Shared {
  Executor executor;
  std::string noProxy = noProxyList();
  std::thread worker;

  mutable std::mutex mutex;
  // Made with the first request: a program that never sends one never loads the TLS stack's state.
  CURLM* multi = nullptr;
  bool curlTried = false;
  // Wakes the worker while it has no transfer, when curl's own wake-up has nothing to interrupt.
  std::condition_variable work;
  std::map<RequestId, Completion> completions;  // requests whose completion is still to run
  std::vector<std::unique_ptr<Transfer>> incoming;
  std::vector<RequestId> cancels;
  RequestId nextId = 1;
  bool stopping = false;

  /// Hands the outcome to the executor, unless the request was cancelled meanwhile.
  static void deliver(const std::weak_ptr<Shared>& weak, Shared& shared, RequestId id, HttpResponse response) {
    {
      const std::lock_guard lock(shared.mutex);
      if (shared.stopping || !shared.completions.count(id)) return;
    }
    shared.executor([weak, id, response = std::move(response)]() mutable {
      const std::shared_ptr<Shared> alive = weak.lock();
      if (!alive) return;
      Completion completion;
      {
        const std::lock_guard lock(alive->mutex);
        const auto it = alive->completions.find(id);
        if (it == alive->completions.end()) return;  // cancelled after the reply left the worker
        completion = std::move(it->second);
        alive->completions.erase(it);
      }
      completion(std::move(response));
    });
  }

  static void run(std::weak_ptr<Shared> weak, Shared& shared) {
    // Signals are the main thread's business; a peer that goes away must not raise SIGPIPE here. Real-time
    // signals stay open: they are sent to one thread, as a crash reporter does to stop every thread it records.
    sigset_t all;
    sigfillset(&all);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) sigdelset(&all, signal);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    pthread_setname_np(pthread_self(), "http-worker");

    std::map<RequestId, std::unique_ptr<Transfer>> active;
    for (;;) {
      std::vector<std::unique_ptr<Transfer>> arrived;
      std::vector<RequestId> cancelled;
      {
        const std::lock_guard lock(shared.mutex);
        if (shared.stopping) break;
        arrived.swap(shared.incoming);
        cancelled.swap(shared.cancels);
      }
      for (const RequestId id : cancelled) {
        if (const auto it = active.find(id); it != active.end()) {
          curl_multi_remove_handle(shared.multi, it->second->easy.get());
          active.erase(it);
        }
      }
      for (auto& transfer : arrived) {
        if (std::optional<HttpResponse> refused = prepare(*transfer, shared.noProxy)) {
          deliver(weak, shared, transfer->id, std::move(*refused));
          continue;
        }
        if (curl_multi_add_handle(shared.multi, transfer->easy.get()) != CURLM_OK) {
          deliver(weak, shared, transfer->id, failure(HttpErrorCode::transport, "the request could not be started"));
          continue;
        }
        const RequestId id = transfer->id;
        active.emplace(id, std::move(transfer));
      }
      int running = 0;
      curl_multi_perform(shared.multi, &running);
      int left = 0;
      while (CURLMsg* message = curl_multi_info_read(shared.multi, &left)) {
        if (message->msg != CURLMSG_DONE) continue;
        Transfer* transfer = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
        const CURLcode result = message->data.result;
        curl_multi_remove_handle(shared.multi, message->easy_handle);
        if (!transfer) continue;
        const RequestId id = transfer->id;
        HttpResponse response = finish(*transfer, result);
        active.erase(id);
        deliver(weak, shared, id, std::move(response));
      }
      if (active.empty()) {
        // Nothing in flight and no curl timer that matters: sleep until a request, a cancel or the end.
        std::unique_lock lock(shared.mutex);
        shared.work.wait(lock, [&] { return shared.stopping || !shared.incoming.empty() || !shared.cancels.empty(); });
        continue;
      }
      long curlTimeout = -1;
      curl_multi_timeout(shared.multi, &curlTimeout);
      curl_multi_poll(shared.multi, nullptr, 0, pollTimeoutMs(curlTimeout), nullptr);
    }
    for (auto& [id, transfer] : active) curl_multi_remove_handle(shared.multi, transfer->easy.get());
  }
};

HttpClient::HttpClient(Executor executor) : shared_(std::make_shared<Shared>()) {
  // curl's global set-up (and the TLS library's under it) runs here, on the thread that makes the client, not at
  // the first request: a library queue's first request can come while the host returns from main, and setting up
  // OpenSSL after its exit handler ran crashes the exiting process. The worker and its multi handle stay lazy.
  initialiseCurlOnce();
  shared_->executor = std::move(executor);
}

HttpClient::~HttpClient() {
  CURLM* multi = nullptr;
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    shared_->completions.clear();
    shared_->incoming.clear();
    multi = shared_->multi;
  }
  shared_->work.notify_all();
  if (multi) curl_multi_wakeup(multi);
  if (shared_->worker.joinable()) shared_->worker.join();
  if (shared_->multi) curl_multi_cleanup(shared_->multi);
  shared_->multi = nullptr;
}

HttpClient::RequestId HttpClient::send(HttpRequest request, Completion completion) {
  auto transfer = std::make_unique<Transfer>();
  transfer->request = std::move(request);
  RequestId id = 0;
  CURLM* multi = nullptr;
  {
    const std::lock_guard lock(shared_->mutex);
    if (!std::exchange(shared_->curlTried, true)) {
      initialiseCurlOnce();
      shared_->multi = curl_multi_init();
    }
    multi = shared_->multi;
    id = shared_->nextId++;
    transfer->id = id;
    shared_->completions.emplace(id, std::move(completion));
    if (multi) shared_->incoming.push_back(std::move(transfer));
    if (!shared_->worker.joinable() && multi)
      shared_->worker = std::thread(&Shared::run, std::weak_ptr<Shared>(shared_), std::ref(*shared_));
  }
  if (!multi) {
    // No curl at all: the request fails on the executor like any other.
    Shared::deliver(shared_, *shared_, id, failure(HttpErrorCode::transport, "libcurl could not be set up"));
    return id;
  }
  shared_->work.notify_one();
  curl_multi_wakeup(multi);
  return id;
}

HttpClient::RequestId HttpClient::get(std::string url, double timeout, std::size_t maxBodyBytes,
                                      Completion completion) {
  HttpRequest request;
  request.url = std::move(url);
  request.timeout = timeout;
  request.maxBodyBytes = maxBodyBytes;
  return send(std::move(request), std::move(completion));
}

void HttpClient::cancel(RequestId id) {
  CURLM* multi = nullptr;
  {
    const std::lock_guard lock(shared_->mutex);
    if (!shared_->completions.erase(id)) return;
    auto& incoming = shared_->incoming;
    for (auto it = incoming.begin(); it != incoming.end(); ++it) {
      if ((*it)->id == id) {
        incoming.erase(it);
        return;
      }
    }
    shared_->cancels.push_back(id);
    multi = shared_->multi;
  }
  shared_->work.notify_one();
  if (multi) curl_multi_wakeup(multi);
}

std::size_t HttpClient::pendingCount() const {
  const std::lock_guard lock(shared_->mutex);
  return shared_->completions.size();
}

}  // namespace tilvane::net
