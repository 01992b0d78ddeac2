#include <gtest/gtest.h>

#include <QFontMetrics>
#include <memory>

#include "UI/HUD/QtHUDWindow.h"
#include "UI/HUD/VkHUD.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

class QtHUDWindowTest : public test::WorldTest {
 protected:
  QtHUDWindowTest() : scope_(sim_) {
    sim_.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .visibleFrame = CGRectMake(0, 0, 1440, 877)});
    auto window = std::make_unique<QtHUDWindow>();
    window_ = window.get();
    VkHUD::shared().setView(std::move(window));
  }

  sim::SimDesktop sim_;
  Desktop::Scope scope_;
  QtHUDWindow* window_ = nullptr;
};

TEST_F(QtHUDWindowTest, ShowsOneCentredClickThroughLineForThreeSecondsWithoutTakingTheFocus) {
  const Qt::WindowFlags flags = window_->widget().windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowTransparentForInput));
  EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
  EXPECT_TRUE(window_->widget().testAttribute(Qt::WA_ShowWithoutActivating));
  VkHUD::shared().show("Restoring the workspace, please wait", 3.0, VkHUDPosition::center, VkHUDSize::medium,
                       VkHUDStyle::dark, false);
  drain();
  const QWidget& widget = window_->widget();
  ASSERT_TRUE(widget.isVisible());
  EXPECT_EQ(window_->label().text().toStdString(), "Restoring the workspace, please wait");

  // The window is the fitted label plus 20 on each side, centred on the visible frame.
  const QSize text = window_->label().size();
  EXPECT_GE(text.width(), QFontMetrics(window_->label().font()).horizontalAdvance(window_->label().text()));
  EXPECT_EQ(widget.width(), text.width() + 40);
  EXPECT_EQ(widget.height(), text.height() + 40);
  EXPECT_EQ(widget.x(), static_cast<int>(std::lround((1440 - text.width() - 40) * 0.5)));
  const double bottomUpY = (877 - text.height() - 40) * 0.5;
  EXPECT_EQ(widget.y(), static_cast<int>(std::lround(900 - bottomUpY - text.height() - 40)));
  EXPECT_EQ(window_->label().geometry().center(), widget.rect().center());

  advance(3.05);
  EXPECT_TRUE(widget.isVisible());
  advance(0.2);
  EXPECT_FALSE(widget.isVisible());
}

// Where no compositing manager runs the window is cut to its rounded rectangle and painted opaque; where one
// runs it is whole and translucent. A compositing manager starting or stopping is followed.
TEST_F(QtHUDWindowTest, IsCutToItsRoundedShapeAndPaintedOpaqueOnlyWithoutACompositor) {
  VkHUD::shared().show("Workspace restored", 3.0, VkHUDPosition::center, VkHUDSize::medium, VkHUDStyle::dark,
                       false);
  drain();
  QWidget& widget = window_->widget();
  const QPoint inside(4, widget.height() / 2);
  for (const bool compositing : {false, true, false}) {
    SCOPED_TRACE(compositing);
    sim_.setCompositing(compositing);
    drain();
    const QRegion mask = widget.mask();
    EXPECT_EQ(mask.isEmpty(), compositing);
    if (!compositing) {
      EXPECT_FALSE(mask.contains(QPoint(1, 1)));
      EXPECT_FALSE(mask.contains(QPoint(widget.width() - 2, widget.height() - 2)));
      EXPECT_TRUE(mask.contains(inside));
    }
    EXPECT_EQ(widget.grab().toImage().pixelColor(inside).alpha(), compositing ? 230 : 255);
  }
}

}  // namespace
}  // namespace tilvane
