#pragma once

#include <memory>

#include "Preferences/PaneView.h"
#include "Preferences/PaneWindowView.h"

namespace tilvane {

class GeneralPreferencesViewController;
class HotKeysPreferencesViewController;
class UpdatesPreferencesViewController;
class AboutPreferencesViewController;

/// Makes the preferences window and its panes' views in a toolkit; installed by the composition root. Without
/// one the preferences work without a window.
class PreferencesViews {
 public:
  virtual ~PreferencesViews() = default;
  virtual std::unique_ptr<PaneWindowView> makeWindow() = 0;
  virtual std::unique_ptr<PaneView> makeView(GeneralPreferencesViewController& pane) = 0;
  virtual std::unique_ptr<PaneView> makeView(HotKeysPreferencesViewController& pane) = 0;
  virtual std::unique_ptr<PaneView> makeView(UpdatesPreferencesViewController& pane) = 0;
  virtual std::unique_ptr<PaneView> makeView(AboutPreferencesViewController& pane) = 0;
};

}  // namespace tilvane
