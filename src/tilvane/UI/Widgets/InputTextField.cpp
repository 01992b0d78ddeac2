#include "UI/Widgets/InputTextField.h"

#include <QKeyEvent>

namespace tilvane {

bool InputTextField::performKeyEquivalent(const QKeyEvent& event) {
  if (event.type() != QEvent::KeyPress) return false;
  const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
  if (modifiers != Qt::ControlModifier) return false;
  switch (event.key()) {
    case Qt::Key_X:
      cut();
      return true;
    case Qt::Key_C:
      copy();
      return true;
    case Qt::Key_V:
      paste();
      return true;
    case Qt::Key_A:
      selectAll();
      return true;
    default:
      return false;
  }
}

bool InputTextField::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    // Claim the chord before any window shortcut sees it; the key press that follows does the edit.
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier &&
        (key->key() == Qt::Key_X || key->key() == Qt::Key_C || key->key() == Qt::Key_V || key->key() == Qt::Key_A)) {
      event->accept();
      return true;
    }
  }
  if (event->type() == QEvent::KeyPress && performKeyEquivalent(*static_cast<QKeyEvent*>(event))) return true;
  return QLineEdit::event(event);
}

}  // namespace tilvane
