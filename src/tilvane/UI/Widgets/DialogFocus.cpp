#include "UI/Widgets/DialogFocus.h"

#include <QEvent>
#include <QObject>
#include <QWidget>

#include "platform/desktop/NSApplication.h"

namespace tilvane {
namespace {

/// Lives as the dialog's child.
class ActivateOnShow final : public QObject {
 public:
  explicit ActivateOnShow(QWidget& dialog) : QObject(&dialog) { dialog.installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // Shown, not yet mapped: the program server waits until the window manager has taken the window on.
    if (event->type() == QEvent::Show)
      NSApplication::makeKeyAndOrderFront(static_cast<QWidget*>(watched)->winId());
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

void takeKeyboardWhenShown(QWidget& dialog) { new ActivateOnShow(dialog); }

}  // namespace tilvane
