// The crash kit's answers to the beta checker, from the kit framework's state.
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/Reports/Vuveradarad.h"

namespace crashreporting {

VRDSettings Vuveradarad::settingsForBetaController(VRDBetaController&) {
  return VRDSettings(Zizozu::sharedSDK().settings().value_or(Dictionary{}));
}

std::optional<std::string> Vuveradarad::APIKeyForBetaController(VRDBetaController&) { return APIKey(); }

std::shared_ptr<VRDBetaController> Vuveradarad::betaController() const {
  const std::lock_guard lock(mutex_);
  return betaController_;
}

}  // namespace crashreporting
