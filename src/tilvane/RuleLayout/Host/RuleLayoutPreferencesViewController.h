#pragma once

#include <memory>
#include <string>

#include "Advanced/AdvancedViews.h"
#include "Preferences/PreferencePane.h"

namespace tilvane {

/// The advanced window's "Apps" pane: 800 × 480, given its size again each time it is about to show. The pane
/// window never lets the window be resized or made full screen, so its style needs no change here. Its content,
/// the application list (a Qt view controller), is made with the pane's view.
class RuleLayoutPreferencesViewController final : public PreferencePane {
 public:
  /// `views` may be null (no toolkit).
  explicit RuleLayoutPreferencesViewController(AdvancedViews* views = nullptr);

  std::string className() const override { return "RuleLayoutPreferencesViewController"; }
  Constants::Size paneSize() const override { return Constants::Advanced::appsPaneSize(); }

 protected:
  void setupUI() override;
  std::unique_ptr<PaneView> makeView() override;

 private:
  AdvancedViews* views_;
};

}  // namespace tilvane
