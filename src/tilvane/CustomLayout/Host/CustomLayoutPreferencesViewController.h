#pragma once

#include <memory>
#include <string>

#include "Advanced/AdvancedViews.h"
#include "CustomLayout/CustomLayoutViewController.h"
#include "Preferences/PreferencePane.h"

namespace tilvane {

/// The advanced window's "Layouts" pane: an 800 × 480 pane filled by the custom-layout list, which it makes.
class CustomLayoutPreferencesViewController final : public PreferencePane {
 public:
  /// `views` may be null (no toolkit): the pane and its list then work without views.
  explicit CustomLayoutPreferencesViewController(AdvancedViews* views = nullptr);

  std::string className() const override { return "CustomLayoutPreferencesViewController"; }
  Constants::Size paneSize() const override { return Constants::Advanced::paneSize(); }

  CustomLayoutViewController& customLayoutViewController() { return *customLayoutViewController_; }

 protected:
  void setupUI() override;
  std::unique_ptr<PaneView> makeView() override;

 private:
  AdvancedViews* views_;
  std::unique_ptr<CustomLayoutViewController> customLayoutViewController_;
};

}  // namespace tilvane
