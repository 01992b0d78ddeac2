#include "platform/net/curl/CurlExchanges.h"

#include <poll.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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

// Loopback addresses are never reached through a proxy, whatever the environment says.
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

}  // namespace

/// One exchange. Heap-held: curl keeps its address.
struct CurlTransfer {
  std::uint64_t id = 0;
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

namespace {

using Transfer = CurlTransfer;

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

/// Checks the request and makes its curl handle; an error response when the request cannot be sent.
std::optional<HttpResponse> prepare(Transfer& transfer, const std::string& noProxy) {
  const HttpRequest& request = transfer.request;
  if (!isWebURL(request.url))
    return HttpResponse::failure(HttpErrorCode::invalidRequest, "not an absolute http or https address: \"" + request.url + "\"");
  if (!isToken(request.method))
    return HttpResponse::failure(HttpErrorCode::invalidRequest, "not a request method: \"" + request.method + "\"");
  if (!std::isfinite(request.timeout) || request.timeout <= 0)
    return HttpResponse::failure(HttpErrorCode::invalidRequest, "the time-out must be a positive number of seconds");
  if (!std::isfinite(request.idleTimeout) || request.idleTimeout < 0)
    return HttpResponse::failure(HttpErrorCode::invalidRequest, "the idle time-out must be a number of seconds, 0 or more");
  for (const auto& [name, value] : request.headers) {
    if (!isToken(name) || !isFieldValue(value))
      return HttpResponse::failure(HttpErrorCode::invalidRequest, "not a header field: \"" + name + "\"");
    curl_slist* grown = curl_slist_append(transfer.fields.get(), (name + ": " + value).c_str());
    if (!grown) return HttpResponse::failure(HttpErrorCode::transport, "out of memory");
    if (!transfer.fields) transfer.fields.reset(grown);  // later appends keep the same head
  }
  curl_off_t bodyFileSize = 0;
  if (!request.bodyFile.empty()) {
    transfer.bodyFile.reset(std::fopen(request.bodyFile.c_str(), "rbe"));
    // A passing shortage says nothing about the request: failed as a transfer is, so that it is tried again.
    if (!transfer.bodyFile && (errno == EMFILE || errno == ENFILE || errno == ENOMEM || errno == EINTR))
      return HttpResponse::failure(HttpErrorCode::transport,
                                   "cannot open the body file now: " + std::string(std::strerror(errno)));
    struct stat status {};
    if (!transfer.bodyFile || fstat(fileno(transfer.bodyFile.get()), &status) != 0 || !S_ISREG(status.st_mode))
      return HttpResponse::failure(HttpErrorCode::invalidRequest, "cannot read the body file \"" + request.bodyFile + "\"");
    bodyFileSize = static_cast<curl_off_t>(status.st_size);
    // No "Expect: 100-continue" round trip: the body follows the header at once, as with a body in memory.
    curl_slist* grown = curl_slist_append(transfer.fields.get(), "Expect:");
    if (!grown) return HttpResponse::failure(HttpErrorCode::transport, "out of memory");
    if (!transfer.fields) transfer.fields.reset(grown);
  }
  transfer.easy.reset(curl_easy_init());
  if (!transfer.easy) return HttpResponse::failure(HttpErrorCode::transport, "out of memory");
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

CurlExchanges::CurlExchanges() : noProxy_(noProxyList()) {
  if (curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {
    globalReady_ = true;
    multi_ = curl_multi_init();
  }
}

CurlExchanges::~CurlExchanges() {
  for (auto& [id, transfer] : active_) curl_multi_remove_handle(multi_, transfer->easy.get());
  active_.clear();
  if (multi_) curl_multi_cleanup(multi_);
  if (globalReady_) curl_global_cleanup();
}

void CurlExchanges::start(std::uint64_t id, HttpRequest request, const Done& done) {
  auto transfer = std::make_unique<Transfer>();
  transfer->id = id;
  transfer->request = std::move(request);
  if (!multi_) return done(id, HttpResponse::failure(HttpErrorCode::transport, "libcurl could not be set up"));
  if (std::optional<HttpResponse> refused = prepare(*transfer, noProxy_)) return done(id, std::move(*refused));
  if (curl_multi_add_handle(multi_, transfer->easy.get()) != CURLM_OK)
    return done(id, HttpResponse::failure(HttpErrorCode::transport, "the request could not be started"));
  active_.emplace(id, std::move(transfer));
}

void CurlExchanges::cancel(std::uint64_t id) {
  if (const auto it = active_.find(id); it != active_.end()) {
    curl_multi_remove_handle(multi_, it->second->easy.get());
    active_.erase(it);
  }
}

void CurlExchanges::perform(const Done& done) {
  if (!multi_ || active_.empty()) return;
  int running = 0;
  curl_multi_perform(multi_, &running);
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    Transfer* transfer = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
    const CURLcode result = message->data.result;
    curl_multi_remove_handle(multi_, message->easy_handle);
    if (!transfer) continue;
    const std::uint64_t id = transfer->id;
    HttpResponse response = finish(*transfer, result);
    active_.erase(id);
    done(id, std::move(response));
  }
}

void CurlExchanges::wait(curl_waitfd* extra, unsigned count) {
  // Until curl's next timer, or until a socket when it has none: never a fixed tick.
  long timeout = -1;
  if (multi_ && !active_.empty()) curl_multi_timeout(multi_, &timeout);
  const int ms = timeout < 0 || timeout > INT_MAX ? INT_MAX : static_cast<int>(timeout);
  if (multi_) {
    curl_multi_poll(multi_, extra, count, ms, nullptr);
    return;
  }
  std::vector<pollfd> fds;
  for (unsigned i = 0; i < count; ++i) fds.push_back({extra[i].fd, static_cast<short>(extra[i].events), 0});
  ::poll(fds.data(), fds.size(), -1);
  for (unsigned i = 0; i < count; ++i) extra[i].revents = static_cast<unsigned short>(fds[i].revents);
}

}  // namespace tilvane::net
