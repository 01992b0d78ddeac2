// The landing window in Qt Widgets, offscreen: its geometry, the strip at half its pixel size, the press that
// fires on mouse-down, the slide, the alert and the close box. Screenshots of each page are kept.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

#include "LandingWindow/Qt/LandingArtwork.h"
#include "LandingWindow/Qt/QtLandingWindow.h"
#include "support/Artefacts.h"

namespace tilvane::test {
namespace {

TEST(QtLandingWindowTest, PagesSlideUnderButtonsThatFireOnPress) {
  QtLandingWindow window(landingArtwork());
  int taps = 0;
  int closes = 0;
  window.setHandlers({[&] { ++taps; }, [&] { ++closes; }});
  window.showWindow("Tilvane Guide");
  window.setNextTitle("Let's start");
  window.setPrevHidden(true);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window.window()));

  EXPECT_EQ(window.window().size(), QSize(600, 350));
  EXPECT_EQ(window.window().windowTitle(), "Tilvane Guide");
  EXPECT_EQ(window.strip().geometry(), QRect(0, 0, 1800, 350)) << "three panels, shown at half their pixels";
  EXPECT_EQ(window.nextButton().geometry(), QRect(470, 310, 120, 30));
  EXPECT_EQ(window.prevButton().geometry(), QRect(10, 310, 120, 30));
  EXPECT_FALSE(window.prevButton().isVisible());
  EXPECT_FALSE(saveArtefact("landing-page-0", window.window().grab().toImage()).empty());

  QTest::mousePress(&window.nextButton(), Qt::LeftButton);
  EXPECT_EQ(taps, 1) << "the press is the tap";
  QTest::mouseRelease(&window.nextButton(), Qt::LeftButton);
  EXPECT_EQ(taps, 1);

  bool slid = false;
  window.slideStripTo(-600, [&] { slid = true; });
  EXPECT_FALSE(slid);
  window.finishSlide();
  EXPECT_TRUE(slid);
  EXPECT_EQ(window.strip().pos(), QPoint(-600, 0));

  window.setNextTitle("Check access");
  window.setNote("No window manager with EWMH support is running on display :1.");
  EXPECT_TRUE(window.note().isVisible());
  EXPECT_FALSE(saveArtefact("landing-page-1", window.window().grab().toImage()).empty());

  window.showAlert("Accessibility disabled", "Please enable Accessibility", "OK");
  QMessageBox* alert = window.alert();
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->text(), "Accessibility disabled");
  EXPECT_EQ(alert->informativeText(), "Please enable Accessibility");
  ASSERT_EQ(alert->buttons().size(), 1);
  EXPECT_EQ(alert->buttons().front()->text(), "OK");
  EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
  alert->buttons().front()->click();
  QApplication::processEvents();
  EXPECT_EQ(window.alert(), nullptr) << "dismissed and gone";

  window.setNote("");
  window.slideStripTo(-1200, [] {});
  window.finishSlide();
  window.setNextTitle("OK");
  EXPECT_FALSE(saveArtefact("landing-page-2", window.window().grab().toImage()).empty());

  window.window().close();
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(window.isOpen());
}

}  // namespace
}  // namespace tilvane::test
