#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "BuildInLayoutAction/ChooserWindow/LayoutAlertWindow.h"
#include "BuildInLayoutAction/LayoutChooser.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

bool isBorderBlue(const QColor& c) {
  return c.alpha() == 255 && std::abs(c.red() - 66) <= 1 && std::abs(c.green() - 133) <= 1 &&
         std::abs(c.blue() - 245) <= 1;
}

// The 1440 × 900 display with four shared desktops, a managed window at (100, 100, 800, 600) with the focus,
// and the shared controller's chooser drawn by a LayoutAlertWindow.
class LayoutAlertWindowTest : public test::WindowWorld {
 protected:
  LayoutAlertWindowTest() : WindowWorld(4) {
    startManagers();
    auto window = std::make_unique<LayoutAlertWindow>();
    window_ = window.get();
    chooser_.setView(std::move(window));
  }
  AXUIElement focused() {
    const AXUIElement w = settledWindow();
    apps().focusWindow(w);
    return w;
  }
  QWidget& widget() { return window_->widget(); }
  QImage picture() { return widget().grab().toImage(); }

  LayoutChooser& chooser_ = BuildInLayoutActionController::shared().chooser();
  LayoutAlertWindow* window_ = nullptr;
};

TEST_F(LayoutAlertWindowTest, OpensOverTheFocusedWindowAsAFramelessBorderAndALogoThatTakesTheKeyboard) {
  EXPECT_FALSE(widget().isVisible());
  focused();
  chooser_.startChooser();
  ASSERT_TRUE(widget().isVisible());
  EXPECT_EQ(widget().geometry(), QRect(100, 100, 800, 600));
  const Qt::WindowFlags flags = widget().windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
  EXPECT_EQ(widget().focusPolicy(), Qt::StrongFocus);
  EXPECT_EQ(sim().program().windowLevel(static_cast<std::uint64_t>(widget().winId())), 3);
  EXPECT_EQ(sim().program().activationsIgnoringOtherApps(), 1);

  // A 10-point blue border along the edges, the 200 × 200 logo in the middle, nothing in between.
  const QImage image = picture();
  EXPECT_TRUE(isBorderBlue(image.pixelColor(0, 300)));
  EXPECT_TRUE(isBorderBlue(image.pixelColor(9, 300)));
  EXPECT_EQ(image.pixelColor(10, 300).alpha(), 0);
  EXPECT_GT(image.pixelColor(400, 215).alpha(), 200);
  EXPECT_EQ(image.pixelColor(400, 195).alpha(), 0);
  // Shaped to what it draws, so the window underneath stays visible without a compositor.
  EXPECT_TRUE(widget().mask().contains(QPoint(5, 300)));
  EXPECT_TRUE(widget().mask().contains(QPoint(400, 300)));
  EXPECT_FALSE(widget().mask().contains(QPoint(200, 300)));
}

TEST_F(LayoutAlertWindowTest, ItsKeysDriveTheChooser) {
  const AXUIElement w = focused();
  chooser_.startChooser();
  QTest::keyClick(&widget(), Qt::Key_Left);
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 877));
  EXPECT_EQ(widget().geometry(), QRect(0, 23, 720, 877));
  QTest::keyClick(&widget(), Qt::Key_Escape);
  EXPECT_FALSE(widget().isVisible());
}

TEST_F(LayoutAlertWindowTest, TheUnavailableSignalIsAGreyLogoOverTheMainScreen) {
  chooser_.startChooser();  // nothing has the focus
  ASSERT_TRUE(widget().isVisible());
  EXPECT_EQ(widget().geometry(), QRect(0, 0, 1440, 900));
  const QImage image = picture();
  EXPECT_EQ(image.pixelColor(2, 450).alpha(), 0);  // no border
  const QColor logo = image.pixelColor(720, 365);
  EXPECT_GT(logo.alpha(), 200);
  EXPECT_FALSE(isBorderBlue(logo));
  EXPECT_FALSE(widget().mask().contains(QPoint(2, 450)));
  advance(0.8);
  EXPECT_FALSE(widget().isVisible());
}

// Shaped to the border and the logo either way; the logo is opaque where no compositing manager runs, slightly
// translucent where one does, following one that starts or stops while the chooser is open.
TEST_F(LayoutAlertWindowTest, TheLogoIsOpaqueOnlyWithoutACompositor) {
  focused();
  chooser_.startChooser();
  for (const bool compositing : {false, true}) {
    SCOPED_TRACE(compositing);
    sim().setCompositing(compositing);
    drain();
    EXPECT_EQ(picture().pixelColor(400, 215).alpha(), compositing ? 230 : 255);
    EXPECT_FALSE(widget().mask().contains(QPoint(200, 300)));
  }
}

}  // namespace
}  // namespace tilvane
