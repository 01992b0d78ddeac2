#pragma once

#include <string>

#include "crashreporting/platform/URLRequest.h"

namespace crashreporting {

/// A request to the crash kit's services: cache ignored, the given time-out, and the kit's ten header fields in
/// their fixed order (User-Agent through X-Vuveradarad-API-Key). The method stays GET.
URLRequest VRDMutableRequestWithURL(const std::string& url, double timeout, const std::string& APIKey);

}  // namespace crashreporting
