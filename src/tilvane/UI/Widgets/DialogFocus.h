#pragma once

class QWidget;

namespace tilvane {

/// Makes `dialog` take the keyboard each time it is shown: the window manager is asked to activate it, as every
/// window of the program that the user is to answer. A toolkit's own activation is a hint some window managers
/// pass over for a window that opens over the one the user clicked, and then Return and Escape reach nobody.
/// Call once, before the dialog is first shown (open, show or exec).
void takeKeyboardWhenShown(QWidget& dialog);

}  // namespace tilvane
