#include "Shell/Web/RemoteNotificationManager.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "platform/defaults/PlistCodec.h"
#include "platform/defaults/UserDefaults.h"

namespace tilvane {
namespace {

const std::string kWarning = "Remote Notification Request -> Error: ";

void warn(const std::string& what) { LogManager::warning(kWarning + what); }

// The id becomes part of a settings key: printable text of a sane length, so the settings file stays well-formed
// and the marker is found again under the same key.
constexpr std::size_t kMaxIdBytes = 256;
bool usableId(const std::string& id) {
  if (id.empty() || id.size() > kMaxIdBytes) return false;
  for (const char c : id) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return false;
  }
  return defaults::isXmlText(id);
}

}  // namespace

RemoteNotificationManager::RemoteNotificationManager(net::HttpClient& client, std::string feedURL, Options options)
    : client_(client), feedURL_(std::move(feedURL)), options_(options) {}

RemoteNotificationManager::~RemoteNotificationManager() {
  if (pending_) client_.cancel(pending_);
}

void RemoteNotificationManager::requestAfter(double seconds) {
  timer_.schedule(seconds, [this] { request(); });
}

std::string RemoteNotificationManager::timeQuery(double seconds) {
  if (!std::isfinite(seconds)) seconds = 0;
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", seconds);
  std::string query = text;
  if (query.find_first_of(".e") == std::string::npos) query += ".0";
  return query;
}

void RemoteNotificationManager::request() {
  if (pending_) client_.cancel(pending_);
  const std::string url = feedURL_ + "?" + timeQuery(dispatch::MainQueue::clock().now());
  pending_ = client_.get(url, options_.timeout, options_.maxBodyBytes, [this](net::HttpResponse response) {
    pending_ = 0;
    if (response.error) {
      handleResponse(std::nullopt, std::nullopt, response.error->description());
      return;
    }
    handleResponse(std::move(response.body), response.status > 0 ? std::optional<long>(response.status) : std::nullopt,
                   std::nullopt);
  });
}

void RemoteNotificationManager::handleResponse(const std::optional<std::string>& data, std::optional<long> status,
                                               const std::optional<std::string>& error) {
  if (error) return warn("Optional(" + *error + ")");
  if (!status) return warn("response is empty");
  if (*status != 200) return warn(std::to_string(*status));
  if (!data) return warn("Response Data is Empty");

  // The body is untrusted: parse without exceptions, and take nothing for granted about its shape.
  const nlohmann::json feed = nlohmann::json::parse(*data, nullptr, /*allow_exceptions=*/false);
  if (feed.is_discarded()) return warn("json serialization failed");
  if (!feed.is_object()) return warn("json is not an object");
  const auto id = feed.find("id");
  if (id == feed.end()) return;
  if (!id->is_string()) return warn("\"id\" is not a string");
  if (!usableId(id->get<std::string>())) return warn("\"id\" holds control characters or is empty or too long");

  const std::string key = "remoteNotification-" + id->get<std::string>();
  defaults::UserDefaults& standard = defaults::UserDefaults::standard();
  if (standard.stringForKey(key)) return;  // shown before

  const auto title = feed.find("title");
  const auto url = feed.find("url");
  if (title == feed.end() || !title->is_string()) return warn("\"title\" is missing or not a string");
  if (url == feed.end() || !url->is_string()) return warn("\"url\" is missing or not a string");

  AppBridge::remoteNotification().onNext({title->get<std::string>(), url->get<std::string>()});
  standard.setString(key, "read");
}

}  // namespace tilvane
