#include "crashreporting/Reports/VRDRequest.h"

#include "crashreporting/Kit/ZIZNetworkOperation.h"
#include "crashreporting/Reports/VRDKitConstants.h"

namespace crashreporting {

URLRequest VRDMutableRequestWithURL(const std::string& url, double timeout, const std::string& APIKey) {
  URLRequest request(url, timeout);
  request.setCachePolicy(URLRequestCachePolicy::reloadIgnoringLocalCacheData);
  const std::string locale = ZIZNetworkOperation::localeIdentifier();
  request.setValue(kVRDUserAgent, "User-Agent");
  request.setValue("application/json", "Accept");
  request.setValue("utf-8", "Accept-Charset");
  request.setValue(locale, "Accept-Language");
  request.setValue(locale, "Content-Language");
  request.setValue(kVRDDeveloperToken, "X-Vuveradarad-Developer-Token");
  request.setValue(kVRDKitBundleIdentifier, "X-Vuveradarad-API-Client-Id");
  request.setValue(kVRDKitDisplayVersion, "X-Vuveradarad-API-Client-Display-Version");
  request.setValue(kVRDKitBuildVersion, "X-Vuveradarad-API-Client-Build-Version");
  request.setValue(APIKey, "X-Vuveradarad-API-Key");
  return request;
}

}  // namespace crashreporting
