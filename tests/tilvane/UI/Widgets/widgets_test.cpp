// The widgets every window builds its forms from, as a user presses and types at them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTest>

#include "UI/Widgets/InputTextField.h"
#include "UI/Widgets/Label.h"
#include "UI/Widgets/TextButton.h"

namespace tilvane {
namespace {

class TextButtonTest : public ::testing::Test {
 protected:
  TextButton button_{"Detail", Qt::white, QColor("#2e7d32"), 120, 30};
  int taps_ = 0;
  rx::Disposable tap_ = button_.rxTap().subscribe([this](const rx::Unit&) { ++taps_; });
  double background() { return button_.backgroundView().alphaValue(); }
};

TEST_F(TextButtonTest, AnEnabledButtonFiresOnThePressAndADisabledOneOnlyShowsIt) {
  button_.show();
  EXPECT_TRUE(button_.isEnabled());
  EXPECT_DOUBLE_EQ(background(), 0.6);
  QTest::mousePress(&button_, Qt::LeftButton);
  EXPECT_EQ(taps_, 1);  // before the release
  EXPECT_DOUBLE_EQ(background(), 1.0);
  QTest::mouseRelease(&button_, Qt::LeftButton);
  EXPECT_DOUBLE_EQ(background(), 0.6);

  button_.setEnabled(false);
  EXPECT_DOUBLE_EQ(button_.alphaValue(), 0.6);
  QTest::mouseClick(&button_, Qt::LeftButton);
  EXPECT_EQ(taps_, 1);
  EXPECT_DOUBLE_EQ(background(), 1.0);  // stays up until the pointer leaves
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&button_, &leave);
  EXPECT_DOUBLE_EQ(background(), 0.6);
  // Any opacity but 1.0 reads as disabled.
  button_.setAlphaValue(0.99);
  EXPECT_FALSE(button_.isEnabled());

  button_.setVisible(false);
  EXPECT_DOUBLE_EQ(background(), 0.3);
  button_.setVisible(true);
  EXPECT_DOUBLE_EQ(background(), 0.6);
}

TEST(TextButtonLayoutTest, AOneCharacterTitleSitsLowerAndAnUnsizedButtonFitsItsTitle) {
  TextButton close(QString::fromUtf8("\u2715"), Qt::black, Qt::lightGray, 20, 20);
  EXPECT_EQ(close.titleOffset(), 2);
  TextButton two("OK", Qt::black, Qt::lightGray, 40, 20);
  EXPECT_EQ(two.titleOffset(), 0);
  TextButton later("", Qt::black, Qt::lightGray, 40, 20);
  later.setTitle("x");
  EXPECT_EQ(later.titleOffset(), 0);

  TextButton fitted("Continue", Qt::black, Qt::lightGray, 0, 0);
  EXPECT_EQ(fitted.width(), fitted.textField().width() + 10);
  EXPECT_EQ(fitted.height(), fitted.textField().height() + 5);
  // A fitted button keeps its size; another one takes the new title's.
  const QSize size = fitted.size();
  fitted.setTitle("Go");
  EXPECT_EQ(fitted.size(), size);
  TextButton wide("Go", Qt::black, Qt::lightGray, 300, 40);
  wide.setTitle("A longer title");
  EXPECT_EQ(wide.width(), wide.textField().width() + 10);
  EXPECT_EQ(wide.height(), wide.textField().height() + 10);
}

TEST(InputTextFieldTest, CtrlAloneDoesTheEditsAndOtherChordsAreLeftAlone) {
  InputTextField field;
  QApplication::clipboard()->setText("pasted");
  const auto key = [](int k, Qt::KeyboardModifiers m, QEvent::Type type = QEvent::KeyPress) {
    return QKeyEvent(type, k, m);
  };
  EXPECT_TRUE(field.performKeyEquivalent(key(Qt::Key_V, Qt::ControlModifier)));
  EXPECT_EQ(field.text(), "pasted");
  EXPECT_TRUE(field.performKeyEquivalent(key(Qt::Key_A, Qt::ControlModifier)));
  EXPECT_EQ(field.selectedText(), "pasted");
  EXPECT_TRUE(field.performKeyEquivalent(key(Qt::Key_X, Qt::ControlModifier)));
  EXPECT_EQ(field.text(), "");
  EXPECT_FALSE(field.performKeyEquivalent(key(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier)));
  EXPECT_FALSE(field.performKeyEquivalent(key(Qt::Key_V, Qt::ControlModifier | Qt::AltModifier)));
  EXPECT_FALSE(field.performKeyEquivalent(key(Qt::Key_V, Qt::ControlModifier, QEvent::KeyRelease)));
  EXPECT_EQ(field.text(), "");
}

TEST(LabelTest, ShowsOneStyledLine) {
  Label label("Gaps between windows", 13, Qt::darkGray, Qt::AlignRight);
  EXPECT_EQ(label.font().pixelSize(), 13);
  EXPECT_FALSE(label.wordWrap());
  EXPECT_EQ(label.alignment(), Qt::AlignRight);
  EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(Qt::darkGray));
}

}  // namespace
}  // namespace tilvane
