// The delayed starts of earlier versions: they start at once and say they are deprecated.
#include "crashreporting/Reports/Vuveradarad.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {

Vuveradarad& Vuveradarad::startWithAPIKey(const std::string& key, double /*afterDelay*/) {
  SystemLog::write("[Vuveradarad] Warning, startWithAPIKey:afterDelay: is deprecated.");
  return startWithAPIKey(key);
}

Vuveradarad& Vuveradarad::startWithAPIKey(const std::string& key, std::shared_ptr<const VuveradaradDelegate> delegate,
                                          double /*afterDelay*/) {
  SystemLog::write("[Vuveradarad] Warning, startWithAPIKey:delegate:afterDelay: is deprecated.");
  return startWithAPIKey(key, std::move(delegate));
}

}  // namespace crashreporting
