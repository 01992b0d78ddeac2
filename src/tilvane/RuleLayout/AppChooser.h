#pragma once

#include <optional>
#include <string>

namespace tilvane {

/// The open panel of the Apps pane: lets the user pick one file or folder (a desktop entry or an application
/// bundle). A fake stands in for it in tests.
class AppChooser {
 public:
  virtual ~AppChooser() = default;
  /// Shows the panel modally; the path of the first item chosen, or none when the user cancelled.
  virtual std::optional<std::string> chooseApplication() = 0;
};

}  // namespace tilvane
