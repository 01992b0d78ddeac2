#pragma once

#include <functional>
#include <string>

namespace tilvane::updates {

/// The small dialog that tells the outcome of an update check.
struct UpdateAlert {
  std::string title;
  std::string text;
  /// The title of the button that opens the new version's page; empty: no such button.
  std::string openTitle;
  /// The title of the button that closes the dialog.
  std::string closeTitle;
};

/// Shows update alerts; one at a time, a new one replacing the one shown. Main thread only.
class UpdateAlertView {
 public:
  virtual ~UpdateAlertView() = default;
  /// Shows `alert`; `open` runs when the user presses its open button.
  virtual void show(const UpdateAlert& alert, std::function<void()> open) = 0;
};

}  // namespace tilvane::updates
