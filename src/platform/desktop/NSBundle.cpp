#include "platform/desktop/NSBundle.h"

namespace tilvane {

std::optional<std::string> NSBundle::mainBundleIdentifier() { return std::string("app.tilvane.Tilvane"); }

}  // namespace tilvane
