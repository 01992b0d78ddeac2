#pragma once

#include <string>

namespace tilvane {

/// An application as the catalogue and the editors know it: its name, bundle identifier and icon (the path of
/// the bundle's icon file, or an image name).
struct AppDescriptor {
  std::string name;
  std::string bundleID;
  std::string icon;
  bool operator==(const AppDescriptor&) const = default;
};

}  // namespace tilvane
