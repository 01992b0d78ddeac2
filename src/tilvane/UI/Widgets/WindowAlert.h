#pragma once

#include <string>

class QWidget;

namespace tilvane {

/// Shows `message` in a warning box with one "Close" button, window-modal over the window that holds `anchor`
/// while that window is on the screen, else on its own. Returns at once; the box goes when it is closed.
void showWindowAlert(const QWidget* anchor, const std::string& message);

}  // namespace tilvane
