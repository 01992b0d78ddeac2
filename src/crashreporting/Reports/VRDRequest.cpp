#include "crashreporting/Reports/VRDRequest.h"

#include "crashreporting/Kit/ZIZNetworkOperation.h"
#include "crashreporting/Reports/VRDKitConstants.h"

namespace crashreporting {

URLRequest VRDMutableRequestWithURL(const std::string& url, double timeout, const std::string& APIKey) {
  const ZIZClientIdentity kit{kVRDUserAgent,           "application/json",    kVRDDeveloperToken,
                              kVRDKitBundleIdentifier, kVRDKitDisplayVersion, kVRDKitBuildVersion};
  return ZIZRequestWithCommonHeaders(url, timeout, kit, APIKey);
}

}  // namespace crashreporting
