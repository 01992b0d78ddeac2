// The announcement popover's Qt window: its size and parts, its buttons, and where it goes for a tray icon.
#include <gtest/gtest.h>

#include <QSystemTrayIcon>
#include <QTest>

#include "Shell/MenuBar/Tray/QtNotificationPopover.h"
#include "support/Artefacts.h"

namespace tilvane::test {
namespace {

TEST(QtNotificationPopoverTest, AFramelessWindowOf600By60WithItsTitleAndTwoButtons) {
  QtNotificationPopover popover(nullptr);
  int details = 0;
  int dismissals = 0;
  popover.setActions([&] { ++details; }, [&] { ++dismissals; });
  popover.setTitle("<b>Version 2</b> is out");
  popover.show();
  QWidget& window = popover.window();
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.size(), QSize(600, 60));
  EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(popover.titleLabel().width(), 340);
  EXPECT_EQ(popover.titleLabel().textFormat(), Qt::PlainText);  // the feed's text is never markup
  EXPECT_TRUE(popover.titleLabel().font().bold());
  EXPECT_EQ(popover.actionButton().geometry(), QRect(490, 15, 80, 30));
  EXPECT_EQ(popover.closeButton().geometry(), QRect(580, 2, 18, 18));
  saveArtefact("notification-popover-offscreen", window.grab().toImage());

  const std::string longTitle(200, 'W');
  popover.setTitle(longTitle);
  EXPECT_TRUE(popover.titleLabel().text().endsWith(QChar(0x2026)));
  EXPECT_EQ(popover.titleLabel().toolTip().toStdString(), longTitle);
  EXPECT_EQ(popover.titleLabel().width(), 340);

  QTest::mousePress(&popover.closeButton(), Qt::LeftButton);
  EXPECT_EQ(dismissals, 1);
  EXPECT_EQ(details, 0);
  QTest::mousePress(&popover.actionButton(), Qt::LeftButton);
  EXPECT_EQ(details, 1);
  popover.close();
  EXPECT_FALSE(window.isVisible());
}

TEST(QtNotificationPopoverTest, ItHangsUnderTheIconInsideTheScreenOrAtTheTopRightWithoutOne) {
  const QRect screen(0, 0, 1920, 1080);
  // A tray at the top: under the icon, centred on it.
  EXPECT_EQ(QtNotificationPopover::placement(QRect(1000, 0, 24, 24), screen), QRect(712, 24, 600, 60));
  // Near the right edge: kept on the screen.
  EXPECT_EQ(QtNotificationPopover::placement(QRect(1890, 0, 24, 24), screen), QRect(1320, 24, 600, 60));
  // A tray at the bottom: above the icon.
  EXPECT_EQ(QtNotificationPopover::placement(QRect(10, 1056, 24, 24), screen), QRect(0, 996, 600, 60));
  // No position known: the top right of the free area.
  EXPECT_EQ(QtNotificationPopover::placement(QRect(), QRect(0, 30, 1920, 1050)), QRect(1320, 30, 600, 60));
}

}  // namespace
}  // namespace tilvane::test
