#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/net/HttpMessage.h"

namespace tilvane::net {

struct CurlTransfer;

/// The exchanges of the network process, on libcurl's multi interface, driven from one thread: start and cancel
/// requests, let curl move them on, and wait until a socket, a timer or a caller's descriptor needs attention.
class CurlExchanges {
 public:
  using Done = std::function<void(std::uint64_t id, HttpResponse response)>;

  CurlExchanges();
  ~CurlExchanges();
  CurlExchanges(const CurlExchanges&) = delete;
  CurlExchanges& operator=(const CurlExchanges&) = delete;

  /// Starts the exchange; one that cannot start (a bad request, no curl) is reported through `done` at once.
  void start(std::uint64_t id, HttpRequest request, const Done& done);
  /// Drops the exchange without a report. Unknown ids are ignored.
  void cancel(std::uint64_t id);
  /// Moves every exchange on and reports each that ended.
  void perform(const Done& done);
  /// Sleeps until curl's next timer, one of its sockets or one of `extra` (whose revents it fills) needs attention.
  void wait(curl_waitfd* extra, unsigned count);

 private:
  std::string noProxy_;
  bool globalReady_ = false;
  CURLM* multi_ = nullptr;
  std::map<std::uint64_t, std::unique_ptr<CurlTransfer>> active_;
};

}  // namespace tilvane::net
