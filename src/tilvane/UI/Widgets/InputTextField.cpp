#include "UI/Widgets/InputTextField.h"

#include <QKeyEvent>

namespace tilvane {
namespace {

/// Whether the event is Ctrl alone with X, C, V or A.
bool isEditChord(const QKeyEvent& event) {
  const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
  const int key = event.key();
  return modifiers == Qt::ControlModifier &&
         (key == Qt::Key_X || key == Qt::Key_C || key == Qt::Key_V || key == Qt::Key_A);
}

}  // namespace

bool InputTextField::performKeyEquivalent(const QKeyEvent& event) {
  if (event.type() != QEvent::KeyPress || !isEditChord(event)) return false;
  switch (event.key()) {
    case Qt::Key_X:
      cut();
      break;
    case Qt::Key_C:
      copy();
      break;
    case Qt::Key_V:
      paste();
      break;
    default:
      selectAll();
      break;
  }
  return true;
}

bool InputTextField::event(QEvent* event) {
  // Claim the chord before any window shortcut sees it; the key press that follows does the edit.
  if (event->type() == QEvent::ShortcutOverride && isEditChord(*static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  if (event->type() == QEvent::KeyPress && performKeyEquivalent(*static_cast<QKeyEvent*>(event))) return true;
  return QLineEdit::event(event);
}

}  // namespace tilvane
