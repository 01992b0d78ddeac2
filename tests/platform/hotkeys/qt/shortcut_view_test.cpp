// The hot-key recorder widget as a user clicks and types at it.
#include <gtest/gtest.h>

#include <QTest>

#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/hotkeys/MASShortcutMonitor.h"
#include "platform/hotkeys/ShortcutDefaults.h"
#include "platform/hotkeys/qt/MASShortcutView.h"
#include "platform/hotkeys/qt/QtKeyChord.h"
#include "platform/hotkeys/sim/SimHotKeys.h"
#include "platform/l10n/Localization.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

constexpr CGEventFlags kCtrlAlt = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;

TEST(QtKeyChordTest, QtKeysBecomeStoredChords) {
  const auto chord = keyChordOf(Qt::Key_1, Qt::ControlModifier | Qt::AltModifier);
  ASSERT_TRUE(chord);
  EXPECT_EQ(chord->keyCode, kVK_ANSI_1);
  EXPECT_EQ(chord->flags, kCtrlAlt);
  // Shift+1 arrives as "!": it is key 1 with Shift.
  const auto shifted = keyChordOf(Qt::Key_Exclam, Qt::ShiftModifier | Qt::MetaModifier);
  ASSERT_TRUE(shifted);
  EXPECT_EQ(shifted->keyCode, kVK_ANSI_1);
  EXPECT_EQ(shifted->flags, kCGEventFlagMaskShift | kCGEventFlagMaskCommand);
  EXPECT_EQ(keyChordOf(Qt::Key_F5, {})->keyCode, 0x60u);
  EXPECT_EQ(keyChordOf(Qt::Key_Left, Qt::ControlModifier)->keyCode, kVK_LeftArrow);
  EXPECT_FALSE(keyChordOf(Qt::Key_Control, Qt::ControlModifier));
}

class ShortcutViewTest : public test::WorldTest {
 protected:
  sim::SimHotKeys server_;
  HotKeyServer::Scope scope_{server_};
};

TEST_F(ShortcutViewTest, RecordsATypedChordUnderItsKeyAndSaysWhyATakenOneIsRefused) {
  MASShortcutView view;
  view.setStyle(0);
  view.setAssociatedUserDefaultsKey("switchDisplayShortcut");
  view.show();
  EXPECT_EQ(view.fieldText().toStdString(), NSLocalizedString("RecordShortcut"));
  int changes = 0;
  view.setShortcutValueChange([&](MASShortcutView&) { ++changes; });

  server_.setHeldByOtherProgram(MASShortcut(kVK_ANSI_2, kCtrlAlt), true);
  view.startRecording();
  QTest::keyClick(&view, Qt::Key_2, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(view.messageText().toStdString(), NSLocalizedString("ShortcutTakenByProgram"));
  EXPECT_EQ(changes, 0);

  QTest::keyClick(&view, Qt::Key_1, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(view.fieldText(), "Ctrl+Alt+1");
  EXPECT_TRUE(view.messageText().isEmpty());
  EXPECT_EQ(ShortcutDefaults::shared().shortcutForKey("switchDisplayShortcut"), MASShortcut(kVK_ANSI_1, kCtrlAlt));
  EXPECT_EQ(changes, 1);
}

// A hot key another instance or a hand edit stored shows in the open recorder; while the user records one, once the
// recording ends.
TEST_F(ShortcutViewTest, AHotKeyChangedInTheFileShowsOnceNoneIsBeingRecorded) {
  MASShortcutView view;
  view.setAssociatedUserDefaultsKey("layoutShortcut");
  const auto storeElsewhere = [](CGKeyCode key) {
    defaults::UserDefaults other(defaults::UserDefaults::defaultFilePath());
    ASSERT_TRUE(other.setObject("layoutShortcut", defaults::Value(defaults::Dictionary{
                                                      {"keyCode", defaults::Value(std::int64_t{key})},
                                                      {"modifierFlags", defaults::Value(std::int64_t{kCtrlAlt})}})));
    defaults::UserDefaults::standard().reload();
    ShortcutDefaults::shared().storedChanged("layoutShortcut");
  };
  storeElsewhere(kVK_ANSI_4);
  EXPECT_EQ(view.fieldText(), "Ctrl+Alt+4");
  view.show();
  view.startRecording();
  storeElsewhere(kVK_ANSI_5);
  EXPECT_EQ(view.fieldText().toStdString(), NSLocalizedString("TypeShortcut"));
  QTest::keyClick(&view, Qt::Key_Escape);
  EXPECT_FALSE(view.recorder().isRecording());
  EXPECT_EQ(view.fieldText(), "Ctrl+Alt+5");
}

TEST_F(ShortcutViewTest, KeepsOneWidthEmptyRecordingRecordedOrRefusingAndWrapsTheMessageWithin) {
  MASShortcutView view;
  view.setAssociatedUserDefaultsKey("layoutShortcut");
  view.show();
  const int width = view.sizeHint().width();
  const int fieldHeight = view.sizeHint().height();
  const auto widthShowing = [&](const char* step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(view.sizeHint().width(), width) << view.fieldText().toStdString();
  };
  view.startRecording();
  widthShowing("recording");
  QTest::keyClick(&view, Qt::Key_1);  // no modifier: refused, with a message
  EXPECT_FALSE(view.messageText().isEmpty());
  widthShowing("refusing");
  // The message wraps at that width, below the field.
  EXPECT_GT(view.sizeHint().height(), fieldHeight);
  EXPECT_EQ(view.sizeHint().height(), view.heightForWidth(width));
  QTest::keyClick(&view, Qt::Key_1, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(view.fieldText(), "Ctrl+Alt+1");
  widthShowing("recorded");
  view.setShortcutValue(MASShortcut(0x6F, kCtrlAlt | kCGEventFlagMaskShift | kCGEventFlagMaskCommand));
  widthShowing("every modifier");
}

// As the Layouts editor shows a layout's hot key another program held at the start: marked until it is taken.
TEST_F(ShortcutViewTest, AHotKeyWaitingForAnotherProgramIsMarkedUntilItIsTaken) {
  const MASShortcut held(kVK_ANSI_3, kCtrlAlt);
  server_.setHeldByOtherProgram(held, true);
  std::string refusal;
  ASSERT_FALSE(MASShortcutMonitor::sharedMonitor().registerShortcutWhenFree(held, [] {}, refusal));
  MASShortcutView view;
  view.setShortcutValue(held);
  EXPECT_EQ(view.messageText().toStdString(), NSLocalizedString("ShortcutTakenByProgram"));
  server_.setHeldByOtherProgram(held, false);
  advance(MASShortcutMonitor::kRetryInterval);
  EXPECT_TRUE(view.messageText().isEmpty());
}

}  // namespace
}  // namespace tilvane
