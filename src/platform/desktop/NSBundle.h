#pragma once

#include <optional>
#include <string>

namespace tilvane {

/// The program's own bundle.
struct NSBundle {
  /// The program's own bundle identifier, "app.tilvane.Tilvane": the name under which every desktop backend
  /// reports the program's own process among the running applications.
  static const std::optional<std::string>& mainBundleIdentifier();
};

}  // namespace tilvane
