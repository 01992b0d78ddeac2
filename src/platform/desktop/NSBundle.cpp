#include "platform/desktop/NSBundle.h"

namespace tilvane {

const std::optional<std::string>& NSBundle::mainBundleIdentifier() {
  // Asked for every window admitted: made once.
  static const std::optional<std::string> identifier = std::string("app.tilvane.Tilvane");
  return identifier;
}

}  // namespace tilvane
