// The message window as the user sees it over another window on the X test desktop: where no compositing manager
// runs its rounded corners show the window behind it; where one runs (xfwm4-compositor's, or xcompmgr over the
// other window managers) it fades in, with no window manager's frame around it. Screenshots are kept as artefacts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <memory>

#include "UI/HUD/QtHUDWindow.h"
#include "UI/HUD/VkHUD.h"
#include "platform/desktop/WindowCompositing.h"
#include "support/Artefacts.h"
#include "support/x11/X11BackendFixture.h"

namespace tilvane::test::x11 {
namespace {

const QColor kBehind(255, 200, 0);
const QColor kOpened(0, 120, 255);

bool near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) <= 40 && std::abs(a.green() - b.green()) <= 40 &&
         std::abs(a.blue() - b.blue()) <= 40;
}

class HUDOnX11Test : public X11BackendTest {
 protected:
  void SetUp() override {
    X11BackendTest::SetUp();
    if (HasFatalFailure()) return;
    app_ = std::make_unique<QApplication>(argc_, argv_);
    setPump([this] {
      notifyReadableDescriptors(loop());
      drain();
      QApplication::processEvents();
    });
  }
  void TearDown() override {
    VkHUD::shared().setView(nullptr);
    setPump(nullptr);
    app_.reset();
    X11BackendTest::TearDown();
  }
  /// The colour on the screen at `point` of the root window.
  static QColor pixel(const QPoint& point) {
    return QGuiApplication::primaryScreen()->grabWindow(0, point.x(), point.y(), 1, 1).toImage().pixelColor(0, 0);
  }

  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};
  int argc_ = 1;
  char name_[13] = "hud_x11_test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

// Without a compositing manager, then with one: xfwm4-compositor's own, xcompmgr over every other window manager.
TEST_F(HUDOnX11Test, WithoutACompositorTheCornersShowTheWindowBehindAndWithOneTheMessageFadesIn) {
  // A plain window behind the middle of the screen.
  QWidget behind(nullptr, Qt::FramelessWindowHint);
  QPalette palette = behind.palette();
  palette.setColor(QPalette::Window, kBehind);
  behind.setPalette(palette);
  behind.setAutoFillBackground(true);
  behind.setGeometry(160, 240, 1600, 600);
  behind.show();
  ASSERT_TRUE(waitUntil([&] { return near(pixel(behind.geometry().center()), kBehind); }));

  auto view = std::make_unique<QtHUDWindow>();
  QWidget& message = view->widget();
  VkHUD::shared().setView(std::move(view));
  const bool ownCompositor = windowManager() == "xfwm4-compositor";
  for (const bool compositing : {false, true}) {
    if (ownCompositor && !compositing) continue;
    SCOPED_TRACE(compositing ? "with a compositing manager" : "without a compositing manager");
    if (compositing && !ownCompositor) startCompositingManager();
    ASSERT_TRUE(waitUntil([&] { return WindowCompositing::isActive() == compositing; }));
    VkHUD::shared().show("Workspace restored", 3.0, VkHUDPosition::center, VkHUDSize::medium, VkHUDStyle::dark,
                         false);
    ASSERT_TRUE(waitUntil([&] { return message.isVisible() && message.windowHandle()->isExposed(); }));
    const QRect frame = message.geometry();
    ASSERT_TRUE(behind.geometry().contains(frame)) << "the message is not over the window behind";
    const QPoint corner = frame.topLeft() + QPoint(1, 1);
    const QPoint inside = frame.topLeft() + QPoint(4, frame.height() / 2);

    if (compositing) {
      advance(0.05);  // halfway through the fade-in: the window behind shows through the message
      EXPECT_TRUE(waitUntil([&] { return pixel(inside).red() > 60 && pixel(inside).red() < 200; }))
          << pixel(inside).name().toStdString();
    }
    advance(0.1);
    EXPECT_TRUE(waitUntil([&] { return pixel(inside).red() < 40; })) << pixel(inside).name().toStdString();
    EXPECT_TRUE(waitUntil([&] { return near(pixel(corner), kBehind); })) << pixel(corner).name().toStdString();
    saveArtefact("x11-hud-" + windowManager() + (compositing && !ownCompositor ? "-xcompmgr" : ""),
                 QGuiApplication::primaryScreen()
                     ->grabWindow(0, frame.x() - 20, frame.y() - 20, frame.width() + 40, frame.height() + 40)
                     .toImage());
    // A window brought forward or opened while the message shows stays beneath it.
    behind.activateWindow();
    behind.raise();
    QWidget opened(nullptr, Qt::FramelessWindowHint);
    opened.setPalette(QPalette(kOpened));
    opened.setAutoFillBackground(true);
    opened.setGeometry(frame.adjusted(-50, -50, 50, 50));
    opened.show();
    ASSERT_TRUE(waitUntil([&] { return near(pixel(frame.topLeft() - QPoint(10, 10)), kOpened); }));
    probe().syncWindowManager();
    EXPECT_TRUE(waitUntil([&] { return pixel(inside).red() < 40 && pixel(inside).blue() < 40; }))
        << pixel(inside).name().toStdString();
    opened.hide();
    advance(3.1);  // faded out
    ASSERT_TRUE(waitUntil([&] { return !message.isVisible(); }));
  }
}

}  // namespace
}  // namespace tilvane::test::x11
