#pragma once

#include "Preferences/PreferencesViews.h"

namespace tilvane {

/// The preferences window and its panes in Qt Widgets.
class QtPreferencesViews final : public PreferencesViews {
 public:
  std::unique_ptr<PaneWindowView> makeWindow() override;
  std::unique_ptr<PaneView> makeView(GeneralPreferencesViewController& pane) override;
  std::unique_ptr<PaneView> makeView(HotKeysPreferencesViewController& pane) override;
  std::unique_ptr<PaneView> makeView(UpdatesPreferencesViewController& pane) override;
  std::unique_ptr<PaneView> makeView(AboutPreferencesViewController& pane) override;
};

}  // namespace tilvane
