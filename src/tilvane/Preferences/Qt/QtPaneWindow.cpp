#include "Preferences/Qt/QtPaneWindow.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "Preferences/Qt/PreferenceImages.h"
#include "Preferences/Qt/QtPaneView.h"
#include "platform/desktop/NSApplication.h"

namespace tilvane {
namespace {

constexpr int kToolbarImage = 32;

}  // namespace

QtPaneWindow::QtPaneWindow()
    : window_(std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                                     Qt::WindowMinimizeButtonHint)),
      toolbar_(new QToolBar(window_.get())),
      stack_(new QStackedWidget(window_.get())),
      group_(new QActionGroup(toolbar_)) {
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolbar_->setIconSize(QSize(kToolbarImage, kToolbarImage));
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  group_->setExclusive(true);
  auto* column = new QVBoxLayout(window_.get());
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(toolbar_);
  column->addWidget(stack_);
  column->setSizeConstraint(QLayout::SetFixedSize);
}

QtPaneWindow::~QtPaneWindow() {
  // The panes own their widgets: hand them back before the window goes.
  for (int i = stack_->count() - 1; i >= 0; --i) {
    QWidget* pane = stack_->widget(i);
    if (pane == emptyPane_) continue;
    stack_->removeWidget(pane);
    pane->setParent(nullptr);
  }
}

void QtPaneWindow::setToolbar(const std::string& title, const std::vector<ToolbarItem>& items,
                              std::function<void(int)> onSelect) {
  window_->setWindowTitle(QString::fromStdString(title));
  onSelect_ = std::move(onSelect);
  for (QAction* action : actions_) delete action;
  actions_.clear();
  for (std::size_t i = 0; i < items.size(); ++i) {
    const QPixmap image = preferenceImage(items[i].image, QSize(kToolbarImage, kToolbarImage));
    auto* action = new QAction(QIcon(image), QString::fromStdString(items[i].label), group_);
    action->setIconText(action->text());  // as given: the derived icon text drops the label's spaces
    action->setCheckable(true);
    QObject::connect(action, &QAction::triggered, action, [this, index = static_cast<int>(i)] {
      if (onSelect_) onSelect_(index);
    });
    if (spacerAction_) {
      toolbar_->insertAction(spacerAction_, action);
    } else {
      toolbar_->addAction(action);
    }
    if (QWidget* button = toolbar_->widgetForAction(action)) button->setFocusPolicy(Qt::NoFocus);
    actions_.push_back(action);
  }
}

void QtPaneWindow::setAccessoryButton(AccessoryButton button) {
  onAccessory_ = std::move(button.onTap);
  if (!accessory_) {
    // The spacer pushes the button to the toolbar's right end.
    auto* spacer = new QWidget(toolbar_);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    spacerAction_ = toolbar_->addWidget(spacer);
    accessory_ = new QToolButton(toolbar_);
    accessory_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    accessory_->setAutoRaise(true);
    accessory_->setFocusPolicy(Qt::NoFocus);
    QObject::connect(accessory_, &QToolButton::clicked, accessory_, [this] {
      if (onAccessory_) onAccessory_();
    });
    toolbar_->addWidget(accessory_);
  }
  accessory_->setText(QString::fromStdString(button.title));
  accessory_->setIcon(QIcon(preferenceImage(button.image, QSize(40, 40))));
  accessory_->setIconSize(QSize(40, 40));
}

void QtPaneWindow::showPane(int index, PaneView* view, const Constants::Size& size) {
  QWidget* pane = nullptr;
  if (auto* qtView = dynamic_cast<QtPaneView*>(view)) pane = qtView->widget();
  if (!pane) {
    // No view of our toolkit: an empty pane of the right size keeps the window's shape.
    if (!emptyPane_) emptyPane_ = new QWidget(stack_);
    pane = emptyPane_;
  }
  if (stack_->indexOf(pane) < 0) stack_->addWidget(pane);
  pane->setFixedSize(static_cast<int>(size.width), static_cast<int>(size.height));
  stack_->setCurrentWidget(pane);
  stack_->setFixedSize(pane->size());
  if (index >= 0 && index < static_cast<int>(actions_.size())) actions_[static_cast<std::size_t>(index)]->setChecked(true);
  shown_ = index;
  window_->adjustSize();
}

void QtPaneWindow::showWindow() {
  if (!placed_) {
    // Left to the window manager, some put a new window in a corner; the middle of the screen is where a user
    // looks.
    placed_ = true;
    window_->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      window_->move(area.x() + (area.width() - window_->width()) / 2,
                    area.y() + (area.height() - window_->height()) / 2);
    }
  }
  window_->show();
  // The desktop's program server raises and activates it, in order after any desktop move: the toolkit's own
  // requests would go out on another connection, unordered with those, and reach a window not shown yet.
  NSApplication::makeKeyAndOrderFront(window_->winId());
}

bool QtPaneWindow::isVisible() const { return window_->isVisible(); }

std::vector<QToolButton*> QtPaneWindow::paneButtons() const {
  std::vector<QToolButton*> buttons;
  for (QAction* action : actions_)
    if (auto* button = qobject_cast<QToolButton*>(toolbar_->widgetForAction(action))) buttons.push_back(button);
  return buttons;
}

}  // namespace tilvane
