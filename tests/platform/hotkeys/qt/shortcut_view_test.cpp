// The hot-key recorder widget as a user clicks and types at it.
#include <gtest/gtest.h>

#include <QTest>

#include "platform/desktop/KeyCodes.h"
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

}  // namespace
}  // namespace tilvane
