#include "crashreporting/Kit/ZIZNetworkOperation.h"

#include <cctype>
#include <cstdlib>

#include "crashreporting/Kit/KitConstants.h"

namespace crashreporting {

URLRequest ZIZNetworkOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
    const std::string& url) const {
  return mutableRequestWithDefaultHTTPHeadersForURL(url, 10.0);
}

URLRequest ZIZRequestWithCommonHeaders(const std::string& url, double timeout, const ZIZClientIdentity& client,
                                       const std::string& APIKey) {
  URLRequest request(url, timeout);
  request.setCachePolicy(URLRequestCachePolicy::reloadIgnoringLocalCacheData);
  const std::string locale = ZIZNetworkOperation::localeIdentifier();
  request.setValue(client.userAgent, "User-Agent");
  if (client.accept) request.setValue(*client.accept, "Accept");
  request.setValue("utf-8", "Accept-Charset");
  request.setValue(locale, "Accept-Language");
  request.setValue(locale, "Content-Language");
  request.setValue(client.developerToken, "X-Vuveradarad-Developer-Token");
  request.setValue(client.clientId, "X-Vuveradarad-API-Client-Id");
  request.setValue(client.displayVersion, "X-Vuveradarad-API-Client-Display-Version");
  request.setValue(client.buildVersion, "X-Vuveradarad-API-Client-Build-Version");
  request.setValue(APIKey, "X-Vuveradarad-API-Key");
  return request;
}

URLRequest ZIZNetworkOperation::mutableRequestWithDefaultHTTPHeadersForURL(const std::string& url,
                                                                           double timeout) const {
  const ZIZClientIdentity framework{userAgentString(),          std::nullopt,
                                    kZIZDeveloperToken,         ZIZFrameworkIdentifier,
                                    ZIZFrameworkDisplayVersion, ZIZFrameworkBuildVersion};
  return ZIZRequestWithCommonHeaders(url, timeout, framework, APIKey_);
}

std::string ZIZNetworkOperation::userAgentString() {
  return std::string(ZIZFrameworkIdentifier) + "/" + ZIZFrameworkDisplayVersion + " (" + ZIZFrameworkBuildVersion +
         ")";
}

std::string ZIZNetworkOperation::localeIdentifier() {
  std::string name;
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (const char* value = std::getenv(variable); value && *value) {
      name = value;
      break;
    }
  }
  name = name.substr(0, name.find_first_of(".@"));  // "de_CH.UTF-8@euro" → "de_CH"
  if (name.empty() || name == "C" || name == "POSIX") return "en_US_POSIX";
  // Only letters, digits and "_" go into a header field.
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') c = '_';
  return name;
}

}  // namespace crashreporting
