#pragma once

#include <QLineEdit>

namespace tilvane {

/// An editable one-line text field that does cut, copy, paste and select-all itself on Ctrl+X, C, V and A
/// (the Linux counterpart of the Command-key edit shortcuts), so no shortcut of its window can take them.
/// Ctrl with any further modifier is left to the field's usual handling.
class InputTextField : public QLineEdit {
 public:
  explicit InputTextField(QWidget* parent = nullptr) : QLineEdit(parent) {}

  /// Handles one key press as an edit shortcut; true when it was one.
  bool performKeyEquivalent(const QKeyEvent& event);

 protected:
  bool event(QEvent* event) override;
};

}  // namespace tilvane
