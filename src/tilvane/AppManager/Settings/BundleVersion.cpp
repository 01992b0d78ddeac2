#include "AppManager/Settings/BundleVersion.h"

namespace tilvane {

BundleVersion BundleVersion::main() { return {TILVANE_SHORT_VERSION, TILVANE_BUILD_VERSION}; }

}  // namespace tilvane
