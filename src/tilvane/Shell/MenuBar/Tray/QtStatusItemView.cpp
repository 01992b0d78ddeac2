#include "Shell/MenuBar/Tray/QtStatusItemView.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPalette>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "Shell/MenuBar/Tray/NamedImages.h"
#include "Shell/MenuBar/Tray/QtNotificationPopover.h"

namespace tilvane {

QKeySequence menuChord(const MenuItem& item) {
  const std::string& key = item.keyEquivalent();
  if (key.empty()) return {};
  const CGEventFlags flags = item.keyEquivalentModifierMask();
  QString text;
  if (flags & kCGEventFlagMaskControl) text += "Ctrl+";
  if (flags & kCGEventFlagMaskAlternate) text += "Alt+";
  if (flags & kCGEventFlagMaskShift) text += "Shift+";
  if (flags & kCGEventFlagMaskCommand) text += "Meta+";
  return QKeySequence::fromString(text + QString::fromStdString(key).toUpper(), QKeySequence::PortableText);
}

namespace {

/// An entry's text: its name shown as written (an "&" is no keyboard accelerator), then its chord column.
QString entryText(QString name, const QString& chord) {
  name.replace('&', "&&");
  return chord.isEmpty() ? name : name + '\t' + chord;
}

/// Cuts each name wider than a quarter of the screen in the middle (names that differ only at their end, such
/// as numbered copies, stay told apart). Run as the menu is about to show, so the fonts are measured only once a
/// menu is opened.
void fitNames(QMenu& menu) {
  const QScreen* screen = menu.screen();
  const int widest = screen ? screen->availableGeometry().width() / 4 : 320;
  for (QAction* action : menu.actions()) {
    const QStringList nameAndChord = action->data().toStringList();
    if (nameAndChord.size() != 2) continue;
    const QString shown = menu.fontMetrics().elidedText(nameAndChord[0], Qt::ElideMiddle, widest);
    action->setText(entryText(shown, nameAndChord[1]));
  }
}

/// Gives `menu` its names cut to fit whenever it opens.
/// The toolkit takes a window the window manager just minimised or sent to another desktop for the active one a
/// moment longer, and keeps it so while a menu is open: the menu's close would then hand the focus back to it,
/// which asks the window manager to activate a window the user sent away (held back, on X11, until its next map,
/// however late). A window that is not on screen is no active window.
void forgetActiveWindowOffScreen() {
  QWidget* active = QApplication::activeWindow();
  if (!active) return;
  if (const QWindow* window = active->windowHandle(); window && window->isExposed()) return;
  QApplication::setActiveWindow(nullptr);
}

void fitNamesWhenShown(QMenu& menu) {
  QObject::connect(&menu, &QMenu::aboutToShow, &menu, [&menu] { fitNames(menu); });
}

}  // namespace

QtStatusItemView::QtStatusItemView() : menu_(std::make_unique<QMenu>()), tray_(std::make_unique<QSystemTrayIcon>()) {
  menu_->setObjectName("TilvaneMenu");
  menu_->installEventFilter(this);
  menu_->setWindowTitle(QApplication::applicationName());
  fitNamesWhenShown(*menu_);
  QObject::connect(menu_.get(), &QMenu::aboutToShow, menu_.get(), forgetActiveWindowOffScreen);
  QObject::connect(menu_.get(), &QMenu::aboutToHide, menu_.get(), forgetActiveWindowOffScreen);
  tray_->setToolTip(QApplication::applicationName());
  tray_->setContextMenu(menu_.get());
  // The context menu answers the right button; the left one opens the same menu, as a tray user expects.
  QObject::connect(tray_.get(), &QSystemTrayIcon::activated, menu_.get(),
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     if (reason == QSystemTrayIcon::Trigger) menu_->popup(QCursor::pos());
                   });
  // The menu hides before a chosen entry's action is queued (see fill), so the first hop would run before that
  // action; the second runs after it.
  QObject::connect(menu_.get(), &QMenu::aboutToHide, menu_.get(), [this] {
    QTimer::singleShot(0, menu_.get(), [this] {
      QTimer::singleShot(0, menu_.get(), [this] {
        if (closed_ && !menu_->isVisible()) closed_();
      });
    });
  });
}

QtStatusItemView::~QtStatusItemView() {
  tray_->setContextMenu(nullptr);
  tray_.reset();
}

void QtStatusItemView::setImage(const std::string& name, bool isTemplate) {
  tray_->setIcon(namedImage(name, isTemplate, QApplication::palette().color(QPalette::WindowText)));
}

void QtStatusItemView::setVisible(bool visible) { tray_->setVisible(visible); }

bool QtStatusItemView::isMenuOpen() const { return menu_->isVisible(); }

bool QtStatusItemView::isSystemTrayAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

std::unique_ptr<NotificationPopoverView> QtStatusItemView::makePopoverView() {
  return std::make_unique<QtNotificationPopover>(tray_.get());
}

bool QtStatusItemView::eventFilter(QObject* watched, QEvent* event) {
  // The open menu has the keyboard to itself: a chord it shows is typed into it, so it acts from there.
  auto* menu = qobject_cast<QMenu*>(watched);
  if (!menu || !menu->isVisible() || event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  const QKeySequence typed(key->keyCombination());
  for (QAction* action : menu->actions()) {
    if (action->shortcut().isEmpty() || action->shortcut() != typed || !action->isEnabled()) continue;
    menu_->hide();
    action->trigger();
    return true;
  }
  return false;
}

void QtStatusItemView::setMenu(const Menu& menu) {
  menu_->clear();
  fill(*menu_, menu);
}

void QtStatusItemView::fill(QMenu& target, const Menu& menu) {
  const QColor text = target.palette().color(QPalette::Text);
  for (const auto& item : menu.items()) {
    if (item->isSeparatorItem()) {
      target.addSeparator();
      continue;
    }
    // Text after a tab is the chord column of a Qt menu.
    const QStringList nameAndChord{QString::fromStdString(item->title()),
                                   QString::fromStdString(item->keyEquivalentText())};
    const QString title = entryText(nameAndChord[0], nameAndChord[1]);
    if (item->submenu()) {
      QMenu* submenu = target.addMenu(title);
      submenu->menuAction()->setData(nameAndChord);
      fitNamesWhenShown(*submenu);
      submenu->installEventFilter(this);
      fill(*submenu, *item->submenu());
      continue;
    }
    QAction* action = target.addAction(title);
    action->setData(nameAndChord);
    action->setIcon(namedImage(item->image(), item->isTemplateImage(), text));
    action->setIconVisibleInMenu(!item->image().empty());
    action->setEnabled(item->isActionable());
    // Kept for the menu's own key handling (see eventFilter): the chord column shows the text above.
    action->setShortcut(menuChord(*item));
    action->setShortcutContext(Qt::WidgetShortcut);
    std::weak_ptr<MenuItem> weak = item;
    QObject::connect(action, &QAction::triggered, menu_.get(), [weak] {
      QTimer::singleShot(0, [weak] {
        if (const auto chosen = weak.lock()) chosen->performAction();
      });
    });
  }
}

}  // namespace tilvane
