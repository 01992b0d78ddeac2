#pragma once

#include <array>
#include <string>

#include "Preferences/PreferencePane.h"
#include "Preferences/PreferencesViews.h"

namespace tilvane {

/// One row of the Hot keys pane: a caption, a recorder bound to a defaults key, and a grey line.
struct HotKeyRow {
  std::string label;
  /// The defaults key under which the recorder stores the hot key and to which the binder binds it.
  std::string defaultsKey;
  std::string intro;
};

/// The Hot keys pane: four global hot keys (open the chooser, lay out all windows, move the focused window to
/// the other display, switch automatic layout), each recorded under its defaults key. Making the pane binds the
/// four keys through the shared binder, so the hot keys act from then on whether or not the window is ever
/// shown; the bindings are never made again or removed. Main thread only.
class HotKeysPreferencesViewController final : public PreferencePane {
 public:
  explicit HotKeysPreferencesViewController(PreferencesViews* views);

  std::string className() const override { return "HotKeysPreferencesViewController"; }
  Constants::Size paneSize() const override { return Constants::Preferences::hotKeysPaneSize(); }

  /// The rows, top to bottom: "layoutShortcut", "restoreShortcut", "switchDisplayShortcut",
  /// "autoLayoutToggleShortcut".
  const std::array<HotKeyRow, 4>& rows() const { return rows_; }
  /// The recorders' style: the hot-key library's default.
  static constexpr int recorderStyle = 0;

 protected:
  void setupUI() override;
  void setupLayout() override;
  std::unique_ptr<PaneView> makeView() override;

 private:
  void bindHotKeys();

  std::array<HotKeyRow, 4> rows_;
  PreferencesViews* views_;
};

}  // namespace tilvane
