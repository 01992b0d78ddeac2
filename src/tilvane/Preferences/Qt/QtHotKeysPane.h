#pragma once

#include <array>

#include "Preferences/HotKeysPreferencesViewController.h"
#include "Preferences/Qt/QtPaneView.h"
#include "UI/Widgets/Label.h"
#include "platform/hotkeys/qt/MASShortcutView.h"

namespace tilvane {

/// The Hot keys pane's view: four rows of caption, recorder (bound to the row's defaults key) and grey line.
/// A recorder is 160 × 22, wider when its field needs it, and taller while it shows why a chord was refused; the
/// grey line stays under it.
class QtHotKeysPane final : public QtPaneView {
 public:
  explicit QtHotKeysPane(HotKeysPreferencesViewController& pane);

  struct Row {
    Label* caption;
    MASShortcutView* recorder;
    Label* intro;
  };
  const std::array<Row, 4>& rows() const { return rows_; }

 protected:
  void layoutSubviews() override;

 private:
  std::array<Row, 4> rows_;
};

}  // namespace tilvane
