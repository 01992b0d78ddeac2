#pragma once

#include <optional>
#include <string>

namespace tilvane {

/// The program's version as its bundle information gives it: the short version ("CFBundleShortVersionString")
/// and the build ("CFBundleVersion"), each absent when the information lacks it.
struct BundleVersion {
  std::optional<std::string> shortVersion;
  std::optional<std::string> build;

  /// This build's own: the project's version and the build number it was configured with.
  static BundleVersion main();
};

}  // namespace tilvane
