#include "Shell/MenuBar/Tray/QtStatusItemView.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPalette>
#include <QScreen>
#include <QTimer>

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

/// `title` as an entry of `menu` shows it; `cut` tells whether it had to be shortened.
QString menuTitle(const QMenu& menu, const std::string& title, bool& cut) {
  const QString whole = QString::fromStdString(title);
  const QScreen* screen = menu.screen();
  const int widest = screen ? screen->availableGeometry().width() / 4 : 320;
  // Cut in the middle: names that differ only at their end (numbered copies) stay told apart.
  QString shown = menu.fontMetrics().elidedText(whole, Qt::ElideMiddle, widest);
  cut = shown != whole;
  // A name is shown as it is written, never with an "&" taken as a keyboard accelerator.
  return shown.replace('&', "&&");
}

}  // namespace

QtStatusItemView::QtStatusItemView() : menu_(std::make_unique<QMenu>()), tray_(std::make_unique<QSystemTrayIcon>()) {
  menu_->setObjectName("TilvaneMenu");
  menu_->installEventFilter(this);
  menu_->setWindowTitle(QApplication::applicationName());
  // A name cut to the menu's width shows whole as the entry's tool tip.
  menu_->setToolTipsVisible(true);
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
    bool cut = false;
    QString title = menuTitle(target, item->title(), cut);
    // Text after a tab is the chord column of a Qt menu.
    if (const std::string chord = item->keyEquivalentText(); !chord.empty())
      title += '\t' + QString::fromStdString(chord);
    const QString toolTip = cut ? QString::fromStdString(item->title()) : QString();
    if (item->submenu()) {
      QMenu* submenu = target.addMenu(title);
      submenu->menuAction()->setToolTip(toolTip);
      submenu->setToolTipsVisible(true);
      submenu->installEventFilter(this);
      fill(*submenu, *item->submenu());
      continue;
    }
    QAction* action = target.addAction(title);
    action->setToolTip(toolTip);
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
