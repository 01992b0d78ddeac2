#pragma once

#include <string>

#include "AppManager/Settings/Constants.h"

namespace tilvane {

/// A pane's view as its controller sees it: drawn by a toolkit (Qt/), absent in tests and headless runs.
class PaneView {
 public:
  virtual ~PaneView() = default;
  /// Gives the view its frame: origin (0, 0) and `size`.
  virtual void setFrameSize(const Constants::Size& size) = 0;
  /// Tells the user `message` over the pane's window.
  virtual void showAlert(const std::string& message) = 0;
};

}  // namespace tilvane
