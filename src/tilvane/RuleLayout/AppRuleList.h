#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Models/AppDescriptor.h"
#include "RuleLayout/AppChooser.h"

namespace tilvane {

/// Whether `name` holds `text` anywhere, ignoring letter case (Unicode lower case on both sides).
bool appNameMatches(const std::string& name, const std::string& text);

/// The application list of the Apps pane, without a screen: every application the catalogue knew when the
/// pane loaded (allApps) plus those the user adds, the rows on show (apps) filtered by the search text, adding
/// an application through the chooser, and the selection, published on RuleLayoutBridge.appChanged. The Qt
/// view shows apps() and reports the search text, the add button and the selected row. Main thread only.
class AppRuleList {
 public:
  /// What add() did.
  enum class AddResult {
    cancelled,    ///< the chooser was cancelled: nothing changed
    unsupported,  ///< neither a desktop entry nor an application bundle the catalogue can read: tell the user
    added,        ///< appended to the catalogue, allApps() and apps(); the view selects the last row
  };

  explicit AppRuleList(std::unique_ptr<AppChooser> chooser);

  /// allApps() and apps() become a copy of the catalogue's applications as they are now.
  void load();

  const std::vector<AppDescriptor>& allApps() const { return allApps_; }
  const std::vector<AppDescriptor>& apps() const { return apps_; }

  /// apps() becomes allApps() when `text` is none or empty, else the entries whose name holds it
  /// (appNameMatches), in their order. The bundle identifier is not searched.
  void filter(const std::optional<std::string>& text);

  /// Asks the chooser for an application and adds it: appended to the catalogue, to allApps() and to apps()
  /// (whatever the search text), and stored as an ExtensionAppModel. A store failure is logged; the entry stays
  /// in the lists for this run. Duplicates are not checked.
  AddResult add();

  /// The selection moved to `row` (-1: none): publishes apps()[row] on RuleLayoutBridge.appChanged when the row
  /// is on show, else nothing.
  void selectionDidChange(int row) const;

 private:
  std::unique_ptr<AppChooser> chooser_;
  std::vector<AppDescriptor> allApps_;
  std::vector<AppDescriptor> apps_;
};

}  // namespace tilvane
